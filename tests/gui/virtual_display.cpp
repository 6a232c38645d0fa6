#include "virtual_display.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int SERVER_START_LIMIT_MS = 10000;
constexpr uint32_t TOOL_LIMIT_MS = 10000;
constexpr uint32_t SEARCH_STEP_MS = 50;
constexpr uint32_t TYPE_DELAY_MS = 5;

}  // namespace

VirtualDisplay::VirtualDisplay(const std::string& log_path)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    ChildOptions options;
    options.extra_fd = fds[1];
    options.err_path = log_path;
    // -displayfd: Xvfb takes a free display and writes its number once it
    // accepts clients.
    bool started = server_.start({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                                 options);
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (started && poll(&p, 1, SERVER_START_LIMIT_MS) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (!number.empty())
        name_ = ":" + number;
}

ToolResult VirtualDisplay::tool(const std::vector<std::string>& argv)
{
    ChildOptions options;
    options.env["DISPLAY"] = name_;
    return run_tool(argv, options, TOOL_LIMIT_MS);
}

std::string VirtualDisplay::find_window(const std::string& title_regex, uint32_t limit_ms)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (std::chrono::steady_clock::now() < deadline) {
        // Only mapped windows: GTK names a window before it maps it, and an
        // unmapped window cannot take the focus.
        ToolResult found = tool({"xdotool", "search", "--onlyvisible", "--name", title_regex});
        if (found.status == 0 && !found.out.empty())
            return found.out.substr(0, found.out.find('\n'));
        usleep(SEARCH_STEP_MS * 1000);
    }
    return "";
}

std::string VirtualDisplay::window_title(const std::string& window)
{
    std::string title = tool({"xdotool", "getwindowname", window}).out;
    if (!title.empty() && title.back() == '\n')
        title.pop_back();
    return title;
}

bool VirtualDisplay::focus_and_send(const std::string& window,
                                    const std::vector<std::pair<std::string, std::string>>& input)
{
    if (tool({"xdotool", "windowfocus", "--sync", window}).status != 0)
        return false;
    for (const auto& [action, what] : input) {
        std::vector<std::string> argv{"xdotool", action, "--delay", std::to_string(TYPE_DELAY_MS), what};
        if (tool(argv).status != 0)
            return false;
    }
    return true;
}

bool VirtualDisplay::screenshot(const std::string& window, const std::string& png_path)
{
    // import, not xwd: xwd leaves GTK's dialogs black.
    return tool({"import", "-window", window, png_path}).status == 0;
}
