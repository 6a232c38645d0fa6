#include "real_time_window.h"

#include <algorithm>
#include <poll.h>

RealTimeWindow::RealTimeWindow(uint32_t limit_ms)
    : deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms))
{
}

uint32_t RealTimeWindow::ms_left() const
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
}

platform::WindowEvent RealTimeWindow::next_event()
{
    if (events.empty() && !ran_out && ms_left() == 0) {
        ran_out = true;
        return platform::WindowEvent::Destroyed;
    }
    return ScriptedWindow::next_event();
}

void RealTimeWindow::idle_wait(int serial_fd, uint32_t max_ms)
{
    ++idle_wait_calls;
    idle_serial_fds.push_back(serial_fd);
    if (!events.empty())
        return;
    // Never beyond the limit, so the next event check ends a stuck job.
    int timeout = static_cast<int>(std::min(max_ms, ms_left() + 1));
    pollfd p{serial_fd, POLLIN, 0};
    poll(&p, serial_fd >= 0 ? 1 : 0, timeout);
}
