// A program run as a child process by an end-to-end test: its standard
// output collected through a pipe while it runs, its standard error in a
// file, a deadline after which it is killed, and the kernel's promise that it
// dies with the test process.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

class E2eProcess {
public:
    E2eProcess() = default;
    E2eProcess(const E2eProcess&) = delete;
    E2eProcess& operator=(const E2eProcess&) = delete;
    ~E2eProcess() { kill_now(); }

    // Starts `argv` in directory `cwd` with the extra environment `env`
    // ("NAME=value"), standard input from /dev/null, standard error to
    // `err_path`. False when it could not be started.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& cwd,
               const std::string& err_path);

    // Collects output until `text` has appeared or limit_ms have passed.
    bool wait_for_output(const std::string& text, uint32_t limit_ms);
    // The first line of output, waiting up to limit_ms for it.
    std::string first_line(uint32_t limit_ms);
    void send_signal(int signal);
    // Still running (an ended child is not reaped, so wait_exit still gets
    // its status).
    bool running() const;
    // The exit status once it has ended within limit_ms, collecting its
    // output; -1 when it had to be killed or died by a signal.
    int wait_exit(uint32_t limit_ms);
    void kill_now();

    const std::string& output() const { return output_; }

private:
    enum class Collected { Data, Nothing, End };
    Collected collect(int timeout_ms);

    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

std::string read_file(const std::string& path);
