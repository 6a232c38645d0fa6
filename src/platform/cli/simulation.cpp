#include "platform/cli/simulation.h"

#include "platform/posix/modemsim_child.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int START_LIMIT_MS = 10000;   // until the simulator names its device
constexpr int VERDICT_LIMIT_MS = 10000; // until it ends after the job

}  // namespace

bool Simulation::start(bool verbose, std::string& error)
{
    if (!modemsim::make_samples(directory_, !verbose, error))
        return false;
    image_ = directory_ + "/modem.hex";

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        error = std::string("cannot start modemsim: ") + std::strerror(errno);
        return false;
    }
    // Its own process group: Ctrl-C at the terminal is for the flasher,
    // which decides whether the job ends. It goes when the flasher goes.
    child_ = modemsim::spawn({"--exit-after-job", "--expect", image_}, {out[1], !verbose, true});
    int spawn_error = errno;
    ::close(out[1]);
    child_out_ = out[0];
    if (child_ < 0) {
        error = std::string("cannot start modemsim: ") + std::strerror(spawn_error);
        return false;
    }
    // The first line it prints: the device the flasher opens.
    device_ = modemsim::first_line(child_out_, START_LIMIT_MS);
    if (device_.empty()) {
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
    int status = modemsim::wait_exit(child_, VERDICT_LIMIT_MS);
    if (child_ > 0) {
        modemsim::stop(child_);
        return false;
    }
    return status == 0;
}

void Simulation::clean_up()
{
    modemsim::stop(child_);
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
    modemsim::remove_samples(directory_);
}

Simulation::~Simulation()
{
    clean_up();
}
