// A child process of the soak: started in its own process group with its
// output in files, waited for up to a deadline, and told apart by how it
// ended (exit status, signal, or killed at the deadline).
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct ProcessEnd {
    enum Kind { Exited, Signalled, TimedOut } kind = Exited;
    int code = 0;  // the exit status, or the signal number
};

class SoakProcess {
public:
    SoakProcess() = default;
    SoakProcess(const SoakProcess&) = delete;
    SoakProcess& operator=(const SoakProcess&) = delete;
    ~SoakProcess() { kill_group(); }

    // Runs argv in `cwd` with `env` ("NAME=value") added, standard input from
    // /dev/null and the outputs into the two files.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& cwd,
               const std::string& out_path, const std::string& err_path);
    // Waits up to limit_ms; past it the whole process group is killed. Any
    // process the child left behind in its group is killed too, and noted.
    ProcessEnd wait_end(int limit_ms);
    bool left_processes() const { return left_processes_; }
    void kill_group();

private:
    pid_t pid_ = -1;  // the child and its process group, until reaped
    bool left_processes_ = false;
};

std::string read_whole_file(const std::string& path);
// Waits up to limit_ms for the first line of the file (a process's output).
std::string wait_first_line(const std::string& path, int limit_ms);
