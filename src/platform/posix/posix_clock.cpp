#include "platform/posix/posix_clock.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace platform {

uint32_t PosixClock::tick_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void PosixClock::sleep_ms(uint32_t ms)
{
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
}

void StderrDebugChannel::output(const char* text)
{
    if (enabled)
        std::fputs(text, stderr);
}

}  // namespace platform
