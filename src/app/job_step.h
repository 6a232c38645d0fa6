// The flash job state machine.
#pragma once

#include <cstdint>

// Run the actions of job.job_state once.
void job_step();

// Size in bytes of the file as stored; false when it cannot be opened.
bool file_size_of(const char* path, long& size);

// What the main loop may do after a step: sleep up to `ms` milliseconds
// (0: step again at once), waking early for a window event and, when
// watch_serial is set, for input on the serial device. Set only while the
// job waits for an acknowledgement that has not come yet.
struct JobIdle {
    uint32_t ms;
    bool watch_serial;
};
JobIdle job_idle();

// True once the job has reported success (ST_DONE). Lets a front end tell
// success from failure after the main loop has ended.
bool job_succeeded();
