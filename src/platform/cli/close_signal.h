// Ctrl-C as the window's close: SIGINT and SIGTERM write one byte into a
// self-pipe, which the terminal window watches next to the serial device and
// hands to the core as WindowEvent::CloseRequested.
#pragma once

// Installs the handlers once; returns the descriptor that polls readable when
// a close request waits, or -1 when the pipe could not be made.
int install_close_signals();

// Takes one waiting close request; false when none waits.
bool take_close_request(int close_fd);
