#include "soak_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto POLL_STEP = std::chrono::milliseconds(5);

}  // namespace

bool SoakProcess::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                        const std::string& cwd, const std::string& out_path, const std::string& err_path)
{
    kill_group();
    // Everything the child needs is made before fork: the soak runs several
    // jobs from threads, and the child only calls async-signal-safe functions.
    std::vector<std::string> env_texts = env;
    for (char** setting = environ; *setting; ++setting)
        env_texts.emplace_back(*setting);
    std::vector<char*> args, envp;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    for (const std::string& setting : env_texts)
        envp.push_back(const_cast<char*>(setting.c_str()));
    envp.push_back(nullptr);

    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0)
        return false;
    if (pid_ == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(126);
        int in_fd = open("/dev/null", O_RDONLY);
        int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in_fd < 0 || out_fd < 0 || err_fd < 0 || chdir(cwd.c_str()) != 0)
            _exit(126);
        dup2(in_fd, STDIN_FILENO);
        dup2(out_fd, STDOUT_FILENO);
        dup2(err_fd, STDERR_FILENO);
        close_range(3, ~0U, 0);  // nothing of the soak's own leaks into the child
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    setpgid(pid_, pid_);  // also here, so the group exists before start returns
    left_processes_ = false;
    return true;
}

ProcessEnd SoakProcess::wait_end(int limit_ms)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_)
            break;
        if (done < 0 && errno != EINTR)
            return {ProcessEnd::Signalled, 0};
        if (Clock::now() >= deadline) {
            kill_group();
            return {ProcessEnd::TimedOut, 0};
        }
        std::this_thread::sleep_for(POLL_STEP);
    }
    // The group outlives its leader only while a process it started lives on.
    if (kill(-pid_, 0) == 0) {
        left_processes_ = true;
        kill(-pid_, SIGKILL);
    }
    pid_ = -1;
    if (WIFSIGNALED(status))
        return {ProcessEnd::Signalled, WTERMSIG(status)};
    return {ProcessEnd::Exited, WEXITSTATUS(status)};
}

void SoakProcess::kill_group()
{
    if (pid_ <= 0)
        return;
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string read_whole_file(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string wait_first_line(const std::string& path, int limit_ms)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
    for (;;) {
        std::string text = read_whole_file(path);
        size_t end = text.find('\n');
        if (end != std::string::npos)
            return text.substr(0, end);
        if (Clock::now() >= deadline)
            return "";
        std::this_thread::sleep_for(POLL_STEP);
    }
}
