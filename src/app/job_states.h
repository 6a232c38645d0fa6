// The actions of each job state, one function per state, run by job_step.
// Internal to the state machine: nothing outside src/app/job_*.cpp calls them.
#pragma once

#include <cstdint>

// Finding the modem: job_find_modem.cpp
void step_init();
void step_select_image();
void step_probe_port();

// Starting the modem's flash loader: job_start_loader.cpp
void step_open_loader();
void step_download_loader();
void step_check_rrfl_version();

// Streaming the image: job_stream_image.cpp
void step_open_image();
void step_send_line();
void step_await_ack();

// Reports and the end of the job: job_finish.cpp
void step_not_responding();
void step_flash_error();
void step_done();
void step_teardown();
void step_exit();

// Called by a step that only polls: the job has nothing to do for up to ms
// milliseconds unless the serial device (when watch_serial) or the window has
// something. job_step clears it before every step.
void request_idle(uint32_t ms, bool watch_serial);

// The size of the file about to be sent becomes progress_total; an unknown
// size keeps the value it had.
void take_progress_total_from(const char* path);
