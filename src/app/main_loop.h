// Program start, the main loop shared by every front end, and the window's
// close and destroy handling.
//
// What a front end does: install its platform::services(), create its window
// (status text, progress, caption "Flash Loader Ver:4.4", the status lines
// "Flash Loader Ver:4.4" / "Enter File Name." shown with refresh_display),
// call start_job with the command line, then run_main_loop, and exit with its
// result. Its WindowSide::next_event reports the user's close as
// CloseRequested, and a window that went away without the core asking as
// Destroyed (or Quit). When the core itself destroys the window (ST_EXIT, or a
// close outside image writing) it calls WindowSide::destroy_main_window and
// then handles the destruction itself: the front end must not report that
// destroy back as an event (one that does is harmless: it is ignored).
// After the loop, job_succeeded() (app/job_step.h) tells whether the job
// reported success.
#pragma once

// Records start_tick, sets ST_INIT and takes com_port from the low four bits
// of the command line's first character (an empty line leaves it 0).
void start_job(const char* command_line);

// Dispatches waiting window events; otherwise runs one job_step. While the
// job only waits for an acknowledgement, sleeps in WindowSide::idle_wait
// until input may have arrived, an event may be waiting, or the wait's
// deadline. Returns when the main window has been destroyed (the quit), with
// the quit code 0.
int run_main_loop();

// The user asks to close the main window: during image writing ask first,
// otherwise destroy the window at once.
void handle_close_request();

// The main window is gone: close the port if it is open and quit the loop.
// The file left open by a failure is closed too, since the program ends.
void handle_main_window_destroyed();

// The core destroys the main window: WindowSide::destroy_main_window, then
// handle_main_window_destroyed. Once the window is gone it does nothing.
void destroy_main_window();
