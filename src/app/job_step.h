// The flash job state machine.
#pragma once

// Run the actions of job.job_state once.
void job_step();

// Size in bytes of the file as stored; false when it cannot be opened.
bool file_size_of(const char* path, long& size);
