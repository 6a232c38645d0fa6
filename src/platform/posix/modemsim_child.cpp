#include "platform/posix/modemsim_child.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace modemsim {

namespace {

constexpr int SAMPLE_LIMIT_MS = 10000;
constexpr int STOP_LIMIT_MS = 2000;
constexpr int POLL_STEP_MS = 10;
constexpr int EXEC_FAILED = 127;

// modemsim beside this executable, else whatever PATH finds.
std::string program()
{
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        self[length] = '\0';
        std::string beside = std::filesystem::path(self).parent_path() / "modemsim";
        if (access(beside.c_str(), X_OK) == 0)
            return beside;
    }
    return "modemsim";
}

}  // namespace

pid_t spawn(const std::vector<std::string>& args, const ChildSetup& setup)
{
    std::string name = program();
    std::vector<char*> argv{name.data()};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        if (setup.own_group)
            setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(EXEC_FAILED);
        dup2(null_fd, STDIN_FILENO);
        if (setup.out_fd >= 0)
            dup2(setup.out_fd, STDOUT_FILENO);
        else if (setup.quiet)
            dup2(null_fd, STDOUT_FILENO);
        if (setup.quiet)
            dup2(null_fd, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(EXEC_FAILED);
    }
    if (null_fd >= 0)
        close(null_fd);
    return pid;
}

int wait_exit(pid_t& pid, int limit_ms)
{
    for (int waited = 0; pid > 0; waited += POLL_STEP_MS) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0 && errno != EINTR) {
            pid = -1;
            return -1;
        }
        if (waited >= limit_ms)
            return -1;
        poll(nullptr, 0, POLL_STEP_MS);
    }
    return -1;
}

void stop(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    wait_exit(pid, STOP_LIMIT_MS);
    if (pid > 0) {
        kill(pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
    }
}

std::string first_line(int fd, int limit_ms)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
    std::string line;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return "";
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return "";
        char c = 0;
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return "";
        if (c == '\n')
            return line;
        line.push_back(c);
    }
}

bool make_samples(std::string& dir, bool quiet, std::string& error)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/flashloader-sim-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
        error = "cannot make a scratch directory from " + pattern + ": " + std::strerror(errno);
        return false;
    }
    dir = name.data();
    const std::vector<std::string> commands[] = {{"--make-image", dir + "/modem.hex"},
                                                 {"--make-loader", dir + "/flashldr.hex"}};
    for (const std::vector<std::string>& args : commands) {
        pid_t pid = spawn(args, {-1, quiet, false});
        int status = wait_exit(pid, SAMPLE_LIMIT_MS);
        stop(pid);
        if (status != 0) {
            error = "cannot run " + program() + " " + args[0] + " (is modemsim built and on PATH?)";
            return false;
        }
    }
    return true;
}

void remove_samples(std::string& dir)
{
    if (dir.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    dir.clear();
}

}  // namespace modemsim
