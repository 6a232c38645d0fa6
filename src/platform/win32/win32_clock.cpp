#include "platform/win32/win32_clock.h"

#include <windows.h>

namespace platform {

uint32_t Win32Clock::tick_ms()
{
    return GetTickCount();
}

void Win32Clock::sleep_ms(uint32_t ms)
{
    Sleep(ms);
}

void Win32DebugChannel::output(const char* text)
{
    OutputDebugStringA(text);
}

}  // namespace platform
