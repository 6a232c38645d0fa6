#include "e2e_process.h"

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int ms_left(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

bool E2eProcess::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       const std::string& cwd, const std::string& err_path)
{
    kill_now();
    output_.clear();
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return false;
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0)
        return false;
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(126);
        int null_fd = open("/dev/null", O_RDONLY);
        int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (null_fd < 0 || err_fd < 0 || chdir(cwd.c_str()) != 0)
            _exit(126);
        dup2(null_fd, STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err_fd, STDERR_FILENO);
        for (const std::string& setting : env)
            putenv(const_cast<char*>(setting.c_str()));
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execve(args[0], args.data(), environ);
        _exit(127);
    }
    ::close(out[1]);
    out_ = out[0];
    return true;
}

E2eProcess::Collected E2eProcess::collect(int timeout_ms)
{
    if (out_ < 0)
        return Collected::End;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0)
        return Collected::Nothing;
    char buf[4096];
    ssize_t n = read(out_, buf, sizeof buf);
    if (n < 0 && errno == EINTR)
        return Collected::Nothing;
    if (n <= 0) {
        ::close(out_);
        out_ = -1;
        return Collected::End;
    }
    output_.append(buf, static_cast<size_t>(n));
    return Collected::Data;
}

bool E2eProcess::wait_for_output(const std::string& text, uint32_t limit_ms)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
    while (output_.find(text) == std::string::npos) {
        if (ms_left(deadline) == 0 || collect(ms_left(deadline)) == Collected::End)
            return output_.find(text) != std::string::npos;
    }
    return true;
}

std::string E2eProcess::first_line(uint32_t limit_ms)
{
    if (!wait_for_output("\n", limit_ms))
        return "";
    return output_.substr(0, output_.find('\n'));
}

void E2eProcess::send_signal(int signal)
{
    if (pid_ > 0)
        kill(pid_, signal);
}

bool E2eProcess::running() const
{
    if (pid_ <= 0)
        return false;
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return false;
    return info.si_pid == 0;
}

int E2eProcess::wait_exit(uint32_t limit_ms)
{
    if (pid_ <= 0)
        return -1;
    auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_)
            break;
        if (ms_left(deadline) == 0) {
            kill_now();
            return -1;
        }
        if (collect(ms_left(deadline) < 20 ? ms_left(deadline) : 20) == Collected::End)
            poll(nullptr, 0, 10);
    }
    pid_ = -1;
    while (collect(100) == Collected::Data) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void E2eProcess::kill_now()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (out_ >= 0) {
        ::close(out_);
        out_ = -1;
    }
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
