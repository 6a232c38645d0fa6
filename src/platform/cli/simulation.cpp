#include "platform/cli/simulation.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int START_LIMIT_MS = 10000;   // until the simulator names its device
constexpr int VERDICT_LIMIT_MS = 10000; // until it ends after the job
constexpr int STOP_LIMIT_MS = 2000;     // after SIGTERM, before SIGKILL

// modemsim next to this executable, else the one in PATH.
std::string simulator_program()
{
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
        std::string beside = std::filesystem::path(self).parent_path() / "modemsim";
        if (access(beside.c_str(), X_OK) == 0)
            return beside;
    }
    return "modemsim";
}

// In the child: run the simulator with `args`; its standard output goes to
// out_fd, its diagnostics only to a verbose run's standard error.
[[noreturn]] void exec_simulator(const std::vector<std::string>& args, int out_fd, bool verbose)
{
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, STDIN_FILENO);
    dup2(out_fd >= 0 ? out_fd : null_fd, STDOUT_FILENO);
    if (!verbose)
        dup2(null_fd, STDERR_FILENO);
    std::string program = simulator_program();
    std::vector<char*> argv;
    argv.push_back(program.data());
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(program.c_str(), argv.data());
    _exit(127);
}

// Waits for the child up to limit_ms; true with its status when it ended.
bool wait_child(pid_t child, int limit_ms, int& status)
{
    for (int waited = 0;; waited += 10) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            return true;
        if (done < 0 || waited >= limit_ms)
            return false;
        poll(nullptr, 0, 10);
    }
}

bool run_tool(const std::vector<std::string>& args, bool verbose)
{
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0)
        exec_simulator(args, -1, verbose);
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The first line the simulator prints: the device the flasher opens.
bool read_device_line(int fd, std::string& line)
{
    for (int waited = 0; waited < START_LIMIT_MS;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) == 0) {
            waited += 100;
            continue;
        }
        char c = 0;
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (c == '\n')
            return !line.empty();
        line.push_back(c);
    }
    return false;
}

}  // namespace

bool Simulation::start(bool verbose, std::string& error)
{
    verbose_ = verbose;
    char pattern[] = "/tmp/flashloader-sim-XXXXXX";
    if (!mkdtemp(pattern)) {
        error = std::string("cannot make a temporary directory: ") + std::strerror(errno);
        return false;
    }
    directory_ = pattern;
    image_ = directory_ + "/modem.hex";
    if (!run_tool({"--make-image", image_}, verbose) ||
        !run_tool({"--make-loader", directory_ + "/flashldr.hex"}, verbose)) {
        error = "modemsim could not make the sample image and loader file (is it built and in PATH?)";
        return false;
    }

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        error = std::string("cannot start modemsim: ") + std::strerror(errno);
        return false;
    }
    pid_t parent = getpid();
    child_ = fork();
    if (child_ < 0) {
        error = std::string("cannot start modemsim: ") + std::strerror(errno);
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    if (child_ == 0) {
        // Its own process group: Ctrl-C at the terminal is for the flasher,
        // which decides whether the job ends. It goes when the flasher goes.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        exec_simulator({"--exit-after-job", "--expect", image_}, out[1], verbose);
    }
    ::close(out[1]);
    child_out_ = out[0];
    if (!read_device_line(child_out_, device_)) {
        error = "modemsim did not name its device";
        return false;
    }
    home_fd_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (chdir(directory_.c_str()) != 0) {
        error = std::string("cannot enter ") + directory_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Simulation::finish()
{
    if (child_ < 0)
        return false;
    int status = 0;
    bool ended = wait_child(child_, VERDICT_LIMIT_MS, status);
    if (!ended) {
        stop_child();
        return false;
    }
    child_ = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Simulation::stop_child()
{
    if (child_ < 0)
        return;
    int status = 0;
    kill(child_, SIGTERM);
    if (!wait_child(child_, STOP_LIMIT_MS, status)) {
        kill(child_, SIGKILL);
        waitpid(child_, &status, 0);
    }
    child_ = -1;
}

void Simulation::clean_up()
{
    stop_child();
    if (child_out_ >= 0)
        ::close(child_out_);
    child_out_ = -1;
    if (home_fd_ >= 0) {
        // Failing to go back is harmless: the program ends right after.
        int back = fchdir(home_fd_);
        (void)back;
        ::close(home_fd_);
        home_fd_ = -1;
    }
    if (!directory_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
        directory_.clear();
    }
}

Simulation::~Simulation()
{
    clean_up();
}
