#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uint32_t STEP_MS = 10;
constexpr uint32_t GRACE_MS = 2000;
constexpr int EXEC_FAILED = 127;

std::vector<std::string> environment_with(const std::map<std::string, std::string>& additions)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (!additions.count(entry.substr(0, entry.find('='))))
            env.push_back(entry);
    }
    for (const auto& [name, value] : additions)
        env.push_back(name + "=" + value);
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts)
{
    std::vector<char*> list;
    for (std::string& t : texts)
        list.push_back(t.data());
    list.push_back(nullptr);
    return list;
}

}  // namespace

bool ChildProcess::start(const std::vector<std::string>& argv_texts, const ChildOptions& options)
{
    stop();
    std::vector<std::string> args = argv_texts;
    std::vector<std::string> env = environment_with(options.env);
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);
    int out = open(options.out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int err = open(options.err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(EXEC_FAILED);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)
            _exit(EXEC_FAILED);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (options.extra_fd == 3)
            fcntl(3, F_SETFD, 0);
        else if (options.extra_fd >= 0)
            dup2(options.extra_fd, 3);  // the copy is not closed on exec
        execvpe(argv[0], argv.data(), envp.data());
        _exit(EXEC_FAILED);
    }
    close(out);
    close(err);
    return pid_ > 0;
}

void ChildProcess::send_signal(int signal_number)
{
    if (pid_ > 0)
        kill(pid_, signal_number);
}

int ChildProcess::wait_exit(uint32_t limit_ms)
{
    for (uint32_t waited = 0; pid_ > 0; waited += STEP_MS) {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_ || (done < 0 && errno != EINTR)) {
            pid_ = -1;
            return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (waited >= limit_ms)
            return -1;
        usleep(STEP_MS * 1000);
    }
    return -1;
}

void ChildProcess::stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    if (wait_exit(GRACE_MS) < 0 && pid_ > 0) {
        kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
}

ToolResult run_tool(const std::vector<std::string>& argv, const ChildOptions& options, uint32_t limit_ms)
{
    char out_path[] = "/tmp/guitool-XXXXXX";
    int fd = mkstemp(out_path);
    if (fd < 0)
        return {};
    close(fd);
    ChildOptions with_output = options;
    with_output.out_path = out_path;
    ToolResult result;
    ChildProcess tool;
    if (tool.start(argv, with_output))
        result.status = tool.wait_exit(limit_ms);
    std::ifstream in(out_path);
    result.out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    unlink(out_path);
    return result;
}
