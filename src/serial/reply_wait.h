// Waiting for the modem's answer: blocking (holds the thread until a match or
// the time-out) or polled (one read per call).
#pragma once

enum WaitResult : int {
    WAIT_PENDING = 0,
    WAIT_MATCHED = 1,
    WAIT_TIMEOUT = 2,
};

// A polled caller sets job.rx_count = 0 and job.wait_start_tick before its
// first poll. A blocking wait never returns WAIT_PENDING.
int wait_reply(const char* expected, int timeout_s, int blocking);
