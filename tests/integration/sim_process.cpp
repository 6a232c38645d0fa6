#include "sim_process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int FIRST_LINE_LIMIT_MS = 5000;
constexpr uint32_t SAMPLE_LIMIT_MS = 10000;
constexpr int CHILD_FAILED = 127;

void pause_ms(long ms)
{
    timespec pause{0, ms * 1000000L};
    nanosleep(&pause, nullptr);
}

}  // namespace

std::string SimProcess::start(const std::vector<std::string>& args, const std::string& log_path)
{
    stop();
    std::vector<char*> argv{const_cast<char*>(MODEMSIM_PATH)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0)
        return "";
    int log_fd = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(CHILD_FAILED);
        dup2(pipe_fds[1], STDOUT_FILENO);
        if (log_fd >= 0)
            dup2(log_fd, STDERR_FILENO);
        execv(MODEMSIM_PATH, argv.data());
        _exit(CHILD_FAILED);
    }
    close(pipe_fds[1]);
    if (log_fd >= 0)
        close(log_fd);
    out_ = pipe_fds[0];
    if (pid_ < 0)
        return "";

    std::string line;
    pollfd p{out_, POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, FIRST_LINE_LIMIT_MS) == 1 && read(out_, &c, 1) == 1 && c != '\n')
        line += c;
    return c == '\n' ? line : "";
}

int SimProcess::wait_exit(uint32_t limit_ms)
{
    constexpr uint32_t STEP_MS = 10;
    for (uint32_t waited = 0; pid_ > 0 && waited <= limit_ms; waited += STEP_MS) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        pause_ms(STEP_MS);
    }
    return -1;
}

void SimProcess::stop()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
    if (out_ >= 0) {
        close(out_);
        out_ = -1;
    }
}

int run_modemsim(const std::vector<std::string>& args)
{
    SimProcess process;
    process.start(args, "/dev/null");
    return process.wait_exit(SAMPLE_LIMIT_MS);
}
