// An Xvfb server of a test's own on a free display, and the xdotool and
// ImageMagick steps a test drives a window with. Every step is bounded in
// time: a window that never comes fails the step, it does not hang the test.
#pragma once

#include "child_process.h"

#include <cstdint>
#include <string>
#include <vector>

class VirtualDisplay {
public:
    // Starts Xvfb, its messages going to log_path; name() is empty when it
    // could not start.
    explicit VirtualDisplay(const std::string& log_path);
    const std::string& name() const { return name_; }  // ":N"

    // The id of the first mapped window whose title matches the regular
    // expression, waiting up to limit_ms for it; "" when none came.
    std::string find_window(const std::string& title_regex, uint32_t limit_ms);
    std::string window_title(const std::string& window);
    // Focuses the window (waiting until it has the focus), then presses the
    // keys and types the text given, in order: {"key", "ctrl+l"},
    // {"type", "/some/path"}.
    bool focus_and_send(const std::string& window, const std::vector<std::pair<std::string, std::string>>& input);
    // The window (without the screen around it) as a PNG.
    bool screenshot(const std::string& window, const std::string& png_path);

private:
    ToolResult tool(const std::vector<std::string>& argv);

    ChildProcess server_;
    std::string name_;
};
