// The modemsim executable and its command-line contract, driven over its
// pseudo-terminal the way the flasher drives it.
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

class SimProcess {
public:
    ~SimProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }

    // Starts modemsim and returns the first line it prints.
    std::string start(const std::vector<std::string>& args)
    {
        int pipe_fds[2];
        if (pipe(pipe_fds) != 0)
            return "";
        pid_ = fork();
        if (pid_ == 0) {
            dup2(pipe_fds[1], STDOUT_FILENO);
            close(pipe_fds[0]);
            close(pipe_fds[1]);
            std::vector<char*> argv{const_cast<char*>(MODEMSIM_PATH)};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(MODEMSIM_PATH, argv.data());
            _exit(127);
        }
        close(pipe_fds[1]);
        out_ = pipe_fds[0];
        std::string line;
        char c;
        pollfd p{out_, POLLIN, 0};
        while (poll(&p, 1, 5000) == 1 && read(out_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // The exit status, or -1 when it has not ended within five seconds.
    int wait_exit()
    {
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10000);
        }
        return -1;
    }

    void signal(int number) { kill(pid_, number); }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

int run(const std::vector<std::string>& args)
{
    SimProcess process;
    process.start(args);
    return process.wait_exit();
}

// Writes text and collects the answer up to "OK" (or one second of silence).
std::string talk(int fd, const std::string& text, const std::string& until = "OK\r\n")
{
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    std::string got;
    pollfd p{fd, POLLIN, 0};
    while (got.find(until) == std::string::npos && poll(&p, 1, 1000) == 1) {
        char buf[256];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// The flasher's full load: loader download, image, "Y".
void full_load(int fd, const std::string& loader, const std::string& image)
{
    EXPECT_EQ(talk(fd, "AT&&F\r"), "AT&&F\r\r\nOK\r\n");
    std::string last;
    for (const std::string& record : lines_of(loader))
        last = talk(fd, "at&&f" + record + "\r");
    EXPECT_NE(last.find("Ver:4.4\r\n"), std::string::npos);
    for (const std::string& line : lines_of(image))
        EXPECT_EQ(talk(fd, line + "\r"), "OK\r\n");
    ASSERT_EQ(write(fd, "Y", 1), 1);
}

class ModemsimProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(run({"--make-image", image_, "--size", "300"}), 0);
        ASSERT_EQ(run({"--make-image", other_image_, "--size", "300", "--seed", "2"}), 0);
        ASSERT_EQ(run({"--make-loader", loader_}), 0);
    }

    TempDir dir;
    std::string image_ = dir.file("image.hex");
    std::string other_image_ = dir.file("other.hex");
    std::string loader_ = dir.file("flashldr.hex");
};

}  // namespace

TEST_F(ModemsimProcess, JobEndsTheSimulatorWithTheComparisonAsExitStatus)
{
    struct Case {
        std::string expected_image;
        int status;
    };
    for (const Case& c : {Case{image_, 0}, Case{other_image_, 1}}) {
        SimProcess sim;
        std::string link = dir.file("ttyMODEM");
        std::string path = sim.start({"--exit-after-job", "--expect", c.expected_image, "--flash-out",
                                      dir.file("flash.bin"), "--erase-ms", "10", "--link", link});
        ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(path, target);

        int fd = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        full_load(fd, read_file(loader_), read_file(image_));
        EXPECT_EQ(sim.wait_exit(), c.status);
        close(fd);
        EXPECT_EQ(read_file(dir.file("flash.bin")).size(), 300u);
        struct stat info;
        EXPECT_NE(lstat(link.c_str(), &info), 0);  // the link is gone
    }
}

TEST_F(ModemsimProcess, SecondJobFindsTheResidentLoaderTheFirstOneProgrammed)
{
    SimProcess sim;
    std::string path = sim.start({"--expect", image_, "--erase-ms", "10"});
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    full_load(fd, read_file(loader_), read_file(image_));
    close(fd);

    fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    // Like the flasher's probe, start with a command whose answer may be lost:
    // a reopen right after the close can still count as the old session.
    talk(fd, "AAAAT\r");
    EXPECT_EQ(talk(fd, "ATI5\r"), "ATI5\r\r\nI SIMULATED MODEM\r\n\r\nOK\r\n");
    EXPECT_EQ(talk(fd, "AT&&FFL\r"), "AT&&FFL\r\r\n1A2B,40,\r\n\r\nOK\r\n");
    EXPECT_EQ(talk(fd, "AT&&FGO\r"), "AT&&FGO\r\r\nVer:4.4\r\n\r\nOK\r\n");
    close(fd);

    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait_exit(), 1);  // the second job erased the flash and programmed nothing
}

TEST_F(ModemsimProcess, RefusesBadOptionsAndUnreadableExpectations)
{
    EXPECT_EQ(run({"--bogus"}), 2);
    EXPECT_EQ(run({"--expect", dir.file("missing.hex")}), 2);
    EXPECT_EQ(run({"--help"}), 0);
}
