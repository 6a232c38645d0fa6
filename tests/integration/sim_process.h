// modemsim as a child process of a test: started with its options, the path
// of its pseudo-terminal read from the first line it prints, and killed when
// the object goes. The kernel kills it too should the test process die first,
// so no simulator outlives a crashed test.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

class SimProcess {
public:
    SimProcess() = default;
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess() { stop(); }

    // Starts modemsim with `args`, its standard error going to `log_path`.
    // Returns the first line it prints (the path of its line), or "" when it
    // printed none within five seconds.
    std::string start(const std::vector<std::string>& args, const std::string& log_path);

    // The exit status once it has ended within `limit_ms`; -1 when it was
    // killed by a signal or is still running (it is then left to stop()).
    int wait_exit(uint32_t limit_ms);

    // Kills it if it still runs and reaps it.
    void stop();

private:
    pid_t pid_ = -1;
    int out_ = -1;  // its standard output, kept open so it never meets a closed pipe
};

// Runs modemsim to its end, for the commands that write a sample file; the
// exit status, or -1.
int run_modemsim(const std::vector<std::string>& args);
