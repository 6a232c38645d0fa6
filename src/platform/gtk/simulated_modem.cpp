#include "platform/gtk/simulated_modem.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int FIRST_LINE_LIMIT_MS = 5000;
constexpr int SAMPLE_LIMIT_MS = 10000;
constexpr int STOP_LIMIT_MS = 2000;
constexpr int POLL_STEP_MS = 10;
constexpr int EXEC_FAILED = 127;

std::string own_directory()
{
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "";
    path[length] = '\0';
    char* slash = std::strrchr(path, '/');
    return slash ? std::string(path, static_cast<size_t>(slash - path)) : "";
}

// modemsim beside this executable, else whatever PATH finds.
std::string find_modemsim()
{
    std::string beside = own_directory() + "/modemsim";
    return access(beside.c_str(), X_OK) == 0 ? beside : "modemsim";
}

// Starts modemsim with `args`; its standard output goes to `out_fd` (or
// stays ours when -1). The child is killed should this process die.
pid_t spawn(const std::string& program, const std::vector<std::string>& args, int out_fd)
{
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(EXEC_FAILED);
        if (out_fd >= 0)
            dup2(out_fd, STDOUT_FILENO);
        execvp(argv[0], argv.data());
        _exit(EXEC_FAILED);
    }
    return pid;
}

// The exit status within limit_ms, or -1 (the child is then still running,
// or was ended by a signal).
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
        usleep(POLL_STEP_MS * 1000);
    }
    return -1;
}

void end_process(pid_t& pid)
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

std::string read_first_line(int fd)
{
    std::string line;
    pollfd p{fd, POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, FIRST_LINE_LIMIT_MS) == 1 && read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return c == '\n' ? line : "";
}

}  // namespace

bool SimulatedModem::start(int com_port, std::string& error)
{
    stop();
    modemsim_ = find_modemsim();
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/flashloader-sim-XXXXXX";
    std::vector<char> dir(pattern.begin(), pattern.end());
    dir.push_back('\0');
    if (!mkdtemp(dir.data())) {
        error = "cannot make a scratch directory from " + pattern + ": " + std::strerror(errno);
        return false;
    }
    dir_ = dir.data();
    if (!make_samples(error) || !start_server(com_port, error) || chdir(dir_.c_str()) != 0) {
        if (error.empty())
            error = "cannot enter " + dir_;
        stop();
        return false;
    }
    return true;
}

bool SimulatedModem::make_samples(std::string& error)
{
    const std::vector<std::string> commands[] = {{"--make-image", dir_ + "/modem.hex"},
                                                 {"--make-loader", dir_ + "/flashldr.hex"}};
    for (const std::vector<std::string>& args : commands) {
        pid_t pid = spawn(modemsim_, args, -1);
        int status = wait_exit(pid, SAMPLE_LIMIT_MS);
        end_process(pid);
        if (status != 0) {
            error = "cannot run " + modemsim_ + " " + args[0];
            return false;
        }
    }
    return true;
}

// The simulator paces its line like a real serial link and ends after the
// job, when the flasher sends its final "Y" or closes the line.
bool SimulatedModem::start_server(int com_port, std::string& error)
{
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    std::string com = "COM" + std::to_string(com_port);
    link_ = dir_ + "/" + com;
    pid_ = spawn(modemsim_, {"--link", link_, "--paced", "--exit-after-job"}, pipe_fds[1]);
    close(pipe_fds[1]);
    out_fd_ = pipe_fds[0];  // kept open while it runs: it never writes into a closed pipe
    if (pid_ < 0 || read_first_line(out_fd_).empty()) {
        error = "cannot start " + modemsim_;
        return false;
    }
    setenv(("FLASHLOADER_" + com).c_str(), link_.c_str(), 1);
    return true;
}

void SimulatedModem::stop()
{
    end_process(pid_);
    if (out_fd_ >= 0)
        close(out_fd_);
    out_fd_ = -1;
    remove_scratch();
}

void SimulatedModem::remove_scratch()
{
    if (dir_.empty())
        return;
    for (const char* name : {"modem.hex", "flashldr.hex"})
        unlink((dir_ + "/" + name).c_str());
    if (!link_.empty())
        unlink(link_.c_str());  // modemsim removes it when it can; a kill leaves it
    rmdir(dir_.c_str());
    dir_.clear();
    link_.clear();
}
