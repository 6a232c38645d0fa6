// The main window as the core sees it: the status display, the cursors and
// the message boxes it owns.
#pragma once

// Show str_out1 and str_out2 joined by a line feed, and the progress.
void refresh_display();
void set_wait_cursor();
void set_arrow_cursor();
// A modal box owned by the main window; returns a platform::mb answer.
int main_window_message_box(const char* text, const char* caption, unsigned flags);
