#pragma once

#include "platform/platform.h"

namespace platform {

// CLOCK_MONOTONIC in milliseconds, wrapping at 2^32 like a tick counter.
class PosixClock : public Clock {
public:
    uint32_t tick_ms() override;
    void sleep_ms(uint32_t ms) override;
};

// Debug lines on standard error, or nowhere when quiet.
class StderrDebugChannel : public DebugChannel {
public:
    bool enabled = true;
    void output(const char* text) override;
};

}  // namespace platform
