#include "platform/cli/close_signal.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

int pipe_fds[2] = {-1, -1};

void on_close_signal(int)
{
    int saved = errno;  // a handler must leave errno as it found it
    char byte = 'c';
    ssize_t ignored = write(pipe_fds[1], &byte, 1);
    (void)ignored;  // a full pipe already holds a request
    errno = saved;
}

}  // namespace

int install_close_signals()
{
    if (pipe_fds[0] >= 0)
        return pipe_fds[0];
    if (pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipe_fds[0] = pipe_fds[1] = -1;
        return -1;
    }
    struct sigaction action {};
    action.sa_handler = on_close_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return pipe_fds[0];
}

bool take_close_request(int close_fd)
{
    pollfd waiting{close_fd, POLLIN, 0};
    if (close_fd < 0 || poll(&waiting, 1, 0) != 1 || !(waiting.revents & POLLIN))
        return false;
    char byte = 0;
    return read(close_fd, &byte, 1) == 1;
}
