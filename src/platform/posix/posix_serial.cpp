#include "platform/posix/posix_serial.h"

#include "serial/serial_port.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace platform {

namespace {

constexpr int MAX_PORT = 15;
// A write that cannot hand over a single byte for this long has stalled
// (flow control held for good, device gone): it fails instead of hanging.
constexpr int WRITE_STALL_MS = 10000;

struct SpeedCode {
    uint32_t baud;
    speed_t code;
};

constexpr SpeedCode SPEEDS[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},         {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},       {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},     {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800}, {921600, B921600},
#endif
};

uint32_t baud_of(speed_t code)
{
    for (const SpeedCode& s : SPEEDS)
        if (s.code == code)
            return s.baud;
    return 0;
}

bool code_of(uint32_t baud, speed_t& code)
{
    for (const SpeedCode& s : SPEEDS)
        if (s.baud == baud) {
            code = s.code;
            return true;
        }
    return false;
}

uint8_t byte_size_of(tcflag_t cflag)
{
    switch (cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
    }
}

tcflag_t csize_of(uint8_t byte_size)
{
    switch (byte_size) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

void log_reason(const char* com_name, const char* path, int error)
{
    char text[1024];
    describe_open_failure(error, com_name, path, text, sizeof text);
    log_line(text);
}

// The variable that maps COM<n>: "FLASHLOADER_COM<n>".
void com_variable(int n, char (&name)[32])
{
    std::snprintf(name, sizeof name, "FLASHLOADER_COM%d", n);
}

// Sleep without a clock object: the backend waits in real time.
void pause_ms(int ms)
{
    poll(nullptr, 0, ms);
}

}  // namespace

bool serial_device_path(const char* com_name, char* path, size_t path_size, bool* mapped)
{
    if (std::strncmp(com_name, "COM", 3) != 0 || com_name[3] == '\0' || com_name[4] != '\0')
        return false;
    int n = com_name[3] - '0';
    if (n < 1 || n > MAX_PORT)
        return false;
    char variable[32];
    com_variable(n, variable);
    const char* value = std::getenv(variable);
    bool from_variable = value && *value;
    if (mapped)
        *mapped = from_variable;
    int written = from_variable ? std::snprintf(path, path_size, "%s", value)
                                : std::snprintf(path, path_size, "/dev/ttyS%d", n - 1);
    return written > 0 && static_cast<size_t>(written) < path_size;
}

void map_com_port(int n, const char* device)
{
    char variable[32];
    com_variable(n, variable);
    setenv(variable, device, 1);
}

void describe_open_failure(int error, const char* com_name, const char* path, char* text, size_t text_size)
{
    int used = std::snprintf(text, text_size, "%s (%s): %s", com_name, path, std::strerror(error));
    if (used < 0 || static_cast<size_t>(used) >= text_size)
        return;
    char* rest = text + used;
    size_t room = text_size - static_cast<size_t>(used);
    if (error == EACCES || error == EPERM) {
        struct stat info {};
        const group* owner = ::stat(path, &info) == 0 ? getgrgid(info.st_gid) : nullptr;
        if (owner)
            std::snprintf(rest, room,
                          "; join the group '%s' that owns the device (sudo usermod -aG %s $USER), then log out and in "
                          "again",
                          owner->gr_name, owner->gr_name);
        else
            std::snprintf(rest, room, "; join the group that owns the device, then log out and in again");
    } else if (error == EBUSY) {
        // The rule names the device by its kernel name, the link followed.
        char resolved[PATH_MAX];
        const char* device = realpath(path, resolved) ? resolved : path;
        const char* slash = std::strrchr(device, '/');
        std::snprintf(rest, room,
                      "; another program holds the port: a terminal program, or a desktop modem manager that probes "
                      "new ports with AT commands. The udev property ID_MM_DEVICE_IGNORE=1 keeps such a manager away, "
                      "e.g. the line KERNEL==\"%s\", ENV{ID_MM_DEVICE_IGNORE}=\"1\" in "
                      "/etc/udev/rules.d/99-flashloader.rules (then run: sudo udevadm trigger)",
                      slash ? slash + 1 : device);
    } else if (error == ENOTTY) {
        std::snprintf(rest, room, "; it is not a serial device");
    }
}

PosixSerial::~PosixSerial()
{
    close();
}

bool PosixSerial::fail(int error)
{
    last_errno_ = error;
    return false;
}

bool PosixSerial::open_failed(const char* com_name, const char* path, bool mapped, int error)
{
    log_reason(com_name, path, error);
    open_record_.note(com_name, path, mapped, error);
    return fail(error);
}

bool PosixSerial::open(const char* com_name)
{
    // One device at a time: a second open lets go of the first rather than
    // leaking it locked.
    close();

    char path[256];
    bool mapped = false;
    if (!serial_device_path(com_name, path, sizeof path, &mapped)) {
        if (mapped)  // the variable names a path too long to open
            return open_failed(com_name, path, mapped, ENAMETOOLONG);
        log_reason(com_name, "no device", ENODEV);
        return fail(ENODEV);
    }
    int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return open_failed(com_name, path, mapped, errno);
    // The lock comes before any change to the line, so a second opener never
    // disturbs a port in use.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return open_failed(com_name, path, mapped, error);
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        int error = errno;
        ::close(fd);
        return open_failed(com_name, path, mapped, error);
    }
    fd_ = fd;
    open_record_.note(com_name, path, mapped, 0);
    // Errors counted before the open are not this job's.
    have_counts_ = false;
    take_error_flags();
    return true;
}

bool PosixSerial::get_settings(LineSettings& settings)
{
    termios tio{};
    if (fd_ < 0)
        return fail(EBADF);
    if (tcgetattr(fd_, &tio) != 0)
        return fail(errno);
    settings.baud_rate = baud_of(cfgetospeed(&tio));
    settings.byte_size = byte_size_of(tio.c_cflag);
    settings.parity = !(tio.c_cflag & PARENB) ? 0 : (tio.c_cflag & PARODD) ? 1 : 2;
    settings.stop_bits = (tio.c_cflag & CSTOPB) ? 2 : 0;
    return true;
}

bool PosixSerial::set_settings(const LineSettings& settings)
{
    termios tio{};
    if (fd_ < 0)
        return fail(EBADF);
    if (tcgetattr(fd_, &tio) != 0)
        return fail(errno);
    speed_t speed{};
    if (!code_of(settings.baud_rate, speed))
        return fail(EINVAL);

    // Framing as given; flow control (CRTSCTS, IXON, IXOFF) stays as it is.
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    tio.c_cflag |= csize_of(settings.byte_size);
    if (settings.parity != 0)
        tio.c_cflag |= settings.parity == 1 ? (PARENB | PARODD) : PARENB;
    if (settings.stop_bits == 2)
        tio.c_cflag |= CSTOPB;
    // The modem's lines do not gate reception: a COM port has no carrier rule.
    tio.c_cflag |= CREAD | CLOCAL;

    // No line discipline: bytes pass as they are, both ways, and never raise
    // signals; reads return at once with whatever is there.
    tio.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
    tio.c_iflag &= ~(INLCR | IGNCR | ICRNL | ISTRIP | BRKINT | PARMRK);
#ifdef IUCLC
    tio.c_iflag &= ~IUCLC;
#endif
    tio.c_oflag &= ~OPOST;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);

    // tcsetattr succeeds when any part applied: read back the speed to know.
    termios now{};
    if (tcsetattr(fd_, TCSANOW, &tio) != 0)
        return fail(errno);
    if (tcgetattr(fd_, &now) != 0)
        return fail(errno);
    if (cfgetospeed(&now) != speed)
        return fail(EINVAL);
    return true;
}

// Counter deltas of the driver since the last call, as COM error bits. Drivers
// without counters (a pseudo-terminal, for one) report no errors.
uint32_t PosixSerial::take_error_flags()
{
#if defined(TIOCGICOUNT)
    serial_icounter_struct counter {};
    if (ioctl(fd_, TIOCGICOUNT, &counter) != 0) {
        have_counts_ = false;
        return 0;
    }
    const int now[5] = {counter.buf_overrun, counter.overrun, counter.parity, counter.frame, counter.brk};
    static constexpr uint32_t BITS[5] = {COMM_ERR_RXOVER, COMM_ERR_OVERRUN, COMM_ERR_RXPARITY, COMM_ERR_FRAME,
                                         COMM_ERR_BREAK};
    uint32_t flags = 0;
    for (int i = 0; i < 5; ++i) {
        if (have_counts_ && now[i] != counts_[i])
            flags |= BITS[i];
        counts_[i] = now[i];
    }
    have_counts_ = true;
    return flags;
#else
    return 0;
#endif
}

bool PosixSerial::clear_errors(uint32_t& flags, uint32_t& bytes_waiting)
{
    flags = 0;
    bytes_waiting = 0;
    if (fd_ < 0)
        return fail(EBADF);
    flags = take_error_flags();
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0)
        return fail(errno);
    bytes_waiting = waiting > 0 ? static_cast<uint32_t>(waiting) : 0;
    return true;
}

bool PosixSerial::read(void* dest, uint32_t count, uint32_t& got)
{
    got = 0;
    if (fd_ < 0)
        return fail(EBADF);
    for (;;) {
        ssize_t n = ::read(fd_, dest, count);
        if (n >= 0) {
            got = static_cast<uint32_t>(n);
            return true;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return true;
        if (errno != EINTR)
            return fail(errno);
    }
}

// Wait until the device takes more output; false on a stall or a hang-up.
bool PosixSerial::wait_writable()
{
    pollfd p{fd_, POLLOUT, 0};
    int ready = poll(&p, 1, WRITE_STALL_MS);
    if (ready < 0)
        return errno == EINTR ? true : fail(errno);
    if (ready == 0)
        return fail(ETIMEDOUT);
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
        return fail(EIO);
    return true;
}

// Wait until the driver has sent its queue. tcdrain alone could block for
// ever behind held flow control, so the queue is watched first with the same
// stall limit as a write; a pseudo-terminal reports an empty queue at once.
bool PosixSerial::drain_output()
{
    int queued = 0;
    int stalled_ms = 0;
    while (ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) {
        int before = queued;
        pause_ms(5);
        if (ioctl(fd_, TIOCOUTQ, &queued) != 0)
            break;
        stalled_ms = queued < before ? 0 : stalled_ms + 5;
        if (stalled_ms >= WRITE_STALL_MS)
            return fail(ETIMEDOUT);
    }
    // The last character still leaving the shift register.
    while (tcdrain(fd_) != 0) {
        if (errno != EINTR)
            break;  // drivers without drain support: the bytes are handed over
    }
    return true;
}

bool PosixSerial::write(const void* data, uint32_t count)
{
    if (fd_ < 0)
        return fail(EBADF);
    const char* next = static_cast<const char*>(data);
    uint32_t left = count;
    while (left > 0) {
        ssize_t n = ::write(fd_, next, left);
        if (n > 0) {
            next += n;
            left -= static_cast<uint32_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!wait_writable())
                return false;
        } else {
            return fail(errno);
        }
    }
    return drain_output();
}

void PosixSerial::clear_break()
{
    if (fd_ >= 0)
        ioctl(fd_, TIOCCBRK);
}

// Every write drains before it returns, so no output is ever queued here: a
// character written now goes out ahead of anything that follows it.
void PosixSerial::transmit_char(char ch)
{
    if (fd_ < 0)
        return;
    for (;;) {
        ssize_t n = ::write(fd_, &ch, 1);
        if (n == 1)
            return;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            last_errno_ = errno;
            return;
        }
        if (!wait_writable())
            return;
    }
}

void PosixSerial::close()
{
    if (fd_ < 0)
        return;
    // Let the next program open the line without privileges; the lock goes
    // with the descriptor.
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
    have_counts_ = false;
}

void PosixSerial::wait_readable(uint32_t max_ms)
{
    int timeout = max_ms > 60000 ? 60000 : static_cast<int>(max_ms);
    if (fd_ < 0) {
        pause_ms(timeout);
        return;
    }
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout) > 0 && !(p.revents & POLLIN)) {
        // A hung-up line polls ready for ever without data: sleep instead of
        // spinning until the caller's deadline.
        pause_ms(timeout);
    }
}

}  // namespace platform
