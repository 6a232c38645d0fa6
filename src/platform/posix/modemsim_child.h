// The simulated modem `modemsim` as a child process of a front end's
// --simulate: found beside the executable or on PATH, started with its
// standard output on a pipe, ended by TERM and then KILL, and always ended
// should the front end die first. Also the scratch directory with the sample
// image "modem.hex" and loader "flashldr.hex" it makes.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace modemsim {

struct ChildSetup {
    int out_fd = -1;         // its standard output; -1: ours
    bool quiet = false;      // standard input and error on /dev/null
    bool own_group = false;  // a process group of its own: Ctrl-C is not for it
};

// Starts modemsim with `args`; -1 when it could not be started.
pid_t spawn(const std::vector<std::string>& args, const ChildSetup& setup);

// The exit status once the child ended within limit_ms (pid becomes -1), or
// -1: still running (pid kept) or ended by a signal.
int wait_exit(pid_t& pid, int limit_ms);

// TERM, then KILL when it has not ended within two seconds.
void stop(pid_t& pid);

// The first line the child writes on `fd`, "" when none comes within limit_ms.
std::string first_line(int fd, int limit_ms);

// A fresh directory under $TMPDIR (else /tmp) holding modem.hex and
// flashldr.hex made by modemsim. False with a message; a directory made
// before the failure is left in `dir` for the caller to remove.
bool make_samples(std::string& dir, bool quiet, std::string& error);

// The directory of make_samples and whatever is in it.
void remove_samples(std::string& dir);

}  // namespace modemsim
