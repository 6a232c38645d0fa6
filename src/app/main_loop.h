// Program start, the main loop shared by every front end, and the window's
// close and destroy handling.
#pragma once

// Records start_tick, sets ST_INIT and takes com_port from the low four bits
// of the command line's first character (an empty line leaves it 0).
void start_job(const char* command_line);

// Dispatches waiting window events; otherwise runs one job_step. Returns when
// the main window has been destroyed (the quit), with the quit code 0.
int run_main_loop();

// The user asks to close the main window: during image writing ask first,
// otherwise destroy the window at once.
void handle_close_request();

// The main window is gone: close the port if it is open and quit the loop.
void handle_main_window_destroyed();
