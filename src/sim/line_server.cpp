#include "sim/line_server.h"

#include "sim/line_pacer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

// How often a line without a flasher on it is looked at again.
constexpr int IDLE_POLL_MS = 20;
// Longest sleep while serving, so a stop request is seen soon.
constexpr int MAX_SLEEP_MS = 100;
// Output the flasher does not read is dropped beyond this, as a line would.
constexpr size_t MAX_OUTBOUND = 1 << 20;
// Traffic log lines are cut to this length.
constexpr size_t MAX_LOGGED = 200;

uint64_t now_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

void make_raw(termios& settings)
{
    cfmakeraw(&settings);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, B115200);
    cfsetospeed(&settings, B115200);
}

std::string printable(std::string_view text)
{
    std::string out;
    for (char c : text.substr(0, MAX_LOGGED)) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c >= 0x20 && c < 0x7F)
            out += c;
        else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    if (text.size() > MAX_LOGGED)
        out += "...";
    return out;
}

}  // namespace

bool LineServer::open_pty(std::string& path, std::string& error)
{
    termios settings{};
    make_raw(settings);
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, &settings, nullptr) != 0) {
        error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    // The far end stays raw while nobody holds it open, so the flasher finds
    // a clean line; reads of the master fail with EIO until it does.
    far_path_ = ttyname(slave) ? ttyname(slave) : "";
    ::close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fd_ = master;
    is_pty_ = true;
    path = far_path_;
    return true;
}

bool LineServer::open_device(const std::string& path, std::string& error)
{
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    if (fd < 0 || tcgetattr(fd, &settings) != 0) {
        error = path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    make_raw(settings);
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        error = path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    is_pty_ = false;
    far_path_ = path;
    return true;
}

void LineServer::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

// A pseudo-terminal whose far end nobody holds open reports a hang-up.
bool LineServer::hung_up() const
{
    if (!is_pty_)
        return false;
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) != 0;
}

void LineServer::read_available(std::string& inbound)
{
    char buffer[4096];
    for (;;) {
        ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got > 0)
            inbound.append(buffer, static_cast<size_t>(got));
        else if (got < 0 && errno == EINTR)
            continue;
        else
            return;  // nothing waiting, or EIO while nobody holds the far end
    }
}

size_t LineServer::write_some(const std::string& outbound, size_t limit)
{
    size_t count = std::min(outbound.size(), limit);
    size_t written = 0;
    while (written < count) {
        ssize_t done = ::write(fd_, outbound.data() + written, count - written);
        if (done > 0)
            written += static_cast<size_t>(done);
        else if (done < 0 && errno == EINTR)
            continue;
        else
            break;  // full for now; the rest goes later
    }
    return written;
}

// What the flasher left unread when it closed the line would greet it at its
// next open; a closed serial port keeps nothing, so it goes. Best effort: an
// exclusive lock on the far end keeps other users out.
void LineServer::flush_stale_input() const
{
    int fd = ::open(far_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    tcflush(fd, TCIFLUSH);
    ::close(fd);
}

void LineServer::serve(Modem& modem, const ServeSettings& settings, const std::atomic<bool>& stop,
                       const std::function<void()>& on_job_end, const std::function<void(const std::string&)>& log)
{
    LinePacer rx_pacer(LINE_CHARS_PER_SECOND);
    LinePacer tx_pacer(LINE_CHARS_PER_SECOND);
    std::string inbound;
    std::string outbound;
    bool line_up = !is_pty_;
    uint32_t jobs_seen = modem.jobs_ended();
    const uint64_t start = now_ms();
    auto trace = [&](const char* direction, std::string_view text) {
        if (settings.verbose && !text.empty()) {
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "%8.3f %s ", static_cast<double>(now_ms() - start) / 1000.0, direction);
            log(stamp + printable(text));
        }
    };

    while (!stop.load()) {
        uint64_t now = now_ms();
        bool hup = hung_up();
        if (line_up || !hup) {
            size_t before = inbound.size();
            read_available(inbound);
            trace("<<", std::string_view(inbound).substr(before));
        }
        // Hand over what has arrived; all of it once the flasher has gone.
        size_t take = inbound.size();
        if (settings.paced && !hup) {
            take = std::min(take, rx_pacer.available(now));
            rx_pacer.spend(take);
        }
        if (take > 0) {
            modem.receive(std::string_view(inbound).substr(0, take), now);
            inbound.erase(0, take);
        }
        if (line_up && hup) {
            line_up = false;
            outbound.clear();
            modem.line_closed();
            flush_stale_input();
        } else if (!line_up && !hup) {
            line_up = true;
        }

        std::string out = modem.take_output(now);
        if (line_up && outbound.size() < MAX_OUTBOUND)
            outbound += out;
        if (!outbound.empty()) {
            size_t limit = settings.paced ? tx_pacer.available(now) : outbound.size();
            size_t written = write_some(outbound, limit);
            if (settings.paced)
                tx_pacer.spend(written);
            trace(">>", std::string_view(outbound).substr(0, written));
            outbound.erase(0, written);
        }

        for (const std::string& note : modem.take_notes())
            log(note);
        if (modem.jobs_ended() != jobs_seen) {
            jobs_seen = modem.jobs_ended();
            on_job_end();
            if (settings.exit_after_job)
                return;
        }
        if (modem.vanished()) {
            close();
            return;
        }

        // Sleep until input, the next output, the pacing or a look at the line.
        uint64_t wake = modem.next_output_ms();
        int timeout = MAX_SLEEP_MS;
        if (wake != NEVER)
            timeout = static_cast<int>(std::min<uint64_t>(wake > now ? wake - now : 0, MAX_SLEEP_MS));
        if (!inbound.empty() || !outbound.empty())
            timeout = std::min(timeout, 1);
        if (!line_up)
            timeout = std::min(timeout, IDLE_POLL_MS);
        pollfd p{fd_, POLLIN, 0};
        poll(&p, line_up ? 1 : 0, timeout);
    }
}

}  // namespace sim
