#include "platform/gtk/simulated_modem.h"

#include "platform/posix/modemsim_child.h"
#include "platform/posix/posix_serial.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int FIRST_LINE_LIMIT_MS = 5000;

}  // namespace

bool SimulatedModem::start(int com_port, std::string& error)
{
    stop();
    if (!modemsim::make_samples(dir_, false, error) || !start_server(com_port, error) || chdir(dir_.c_str()) != 0) {
        if (error.empty())
            error = "cannot enter " + dir_;
        stop();
        return false;
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
    std::string link = dir_ + "/COM" + std::to_string(com_port);
    pid_ = modemsim::spawn({"--link", link, "--paced", "--exit-after-job"}, {pipe_fds[1], false, false});
    close(pipe_fds[1]);
    out_fd_ = pipe_fds[0];  // kept open while it runs: it never writes into a closed pipe
    if (pid_ < 0 || modemsim::first_line(out_fd_, FIRST_LINE_LIMIT_MS).empty()) {
        error = "cannot start modemsim";
        return false;
    }
    platform::map_com_port(com_port, link.c_str());
    return true;
}

void SimulatedModem::stop()
{
    modemsim::stop(pid_);
    if (out_fd_ >= 0)
        close(out_fd_);
    out_fd_ = -1;
    modemsim::remove_samples(dir_);  // with the line's link, should modemsim not have removed it
}
