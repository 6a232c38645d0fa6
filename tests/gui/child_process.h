// A program started by a GUI test: its own environment additions and
// working directory, its output in files, a bounded wait for its end. It is
// killed when the object goes, and by the kernel should the test die first,
// so nothing outlives a test.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

struct ChildOptions {
    std::map<std::string, std::string> env;  // set on top of the test's own
    std::string cwd;                         // "" keeps the test's
    std::string out_path = "/dev/null";      // standard output
    std::string err_path = "/dev/null";      // standard error
    int extra_fd = -1;                       // passed on as descriptor 3 when set
};

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { stop(); }

    bool start(const std::vector<std::string>& argv, const ChildOptions& options = {});
    bool running() const { return pid_ > 0; }
    void send_signal(int signal_number);
    // The exit status once it has ended within limit_ms; -1 when it was
    // ended by a signal or still runs after the limit.
    int wait_exit(uint32_t limit_ms);
    // SIGTERM, a short grace, then SIGKILL; reaps it.
    void stop();

private:
    pid_t pid_ = -1;
};

struct ToolResult {
    int status = -1;  // -1: killed at the limit, or did not start
    std::string out;
};

// Runs a tool to its end within limit_ms (killed after it), capturing its
// standard output.
ToolResult run_tool(const std::vector<std::string>& argv, const ChildOptions& options, uint32_t limit_ms);
