// The window side of the core on Windows: the status display, message boxes,
// the open-file dialog and the message loop's events.
#pragma once

#include "platform/platform.h"

namespace platform {

class Win32WindowSide : public WindowSide {
public:
    int message_box(const char* text, const char* caption, unsigned flags) override;
    void set_status_text(const char* text) override;
    void set_progress(int percent) override;
    void set_caption(const char* text) override;
    void set_wait_cursor() override;
    void set_arrow_cursor() override;
    bool open_file_dialog(OpenFileRequest& request) override;
    void destroy_main_window() override;
    // One PeekMessageA: a waiting message is translated and dispatched.
    WindowEvent next_event() override;
    // Waits for window input, but no longer than a poll interval: the serial
    // port cannot be waited on, so the job must look at it again soon.
    void idle_wait(int serial_fd, uint32_t max_ms) override;
};

}  // namespace platform
