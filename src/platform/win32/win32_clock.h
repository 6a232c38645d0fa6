// Tick clock, sleep and debugger output of Windows.
#pragma once

#include "platform/platform.h"

namespace platform {

// GetTickCount and Sleep.
class Win32Clock : public Clock {
public:
    uint32_t tick_ms() override;
    void sleep_ms(uint32_t ms) override;
};

// OutputDebugStringA: read by a debugger or a debug viewer.
class Win32DebugChannel : public DebugChannel {
public:
    void output(const char* text) override;
};

}  // namespace platform
