// The scripted window of the unit tests (boxes answered from a script, status
// texts recorded) on real time: idle waits really sleep, waking when the
// serial line has input. A job that runs past its time limit is ended as if
// the window had gone, so a hang fails the test instead of blocking it.
#pragma once

#include "fakes.h"

#include <chrono>
#include <cstdint>

class RealTimeWindow : public fakes::ScriptedWindow {
public:
    // The time limit counts from now.
    explicit RealTimeWindow(uint32_t limit_ms);

    // Set once the limit has ended the job.
    bool ran_out = false;

    platform::WindowEvent next_event() override;
    void idle_wait(int serial_fd, uint32_t max_ms) override;

private:
    uint32_t ms_left() const;

    std::chrono::steady_clock::time_point deadline_;
};
