// The simulator served over a real pseudo-terminal, in-process: the far end
// as the flasher finds it, opening and closing it between jobs, and one
// exchange through the flasher's own serial layer.
#include "app/flash_job.h"
#include "fakes.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_serial.h"
#include "serial/reply_wait.h"
#include "serial/serial_port.h"
#include "sim/line_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

class ServedPty : public ::testing::Test {
protected:
    void TearDown() override { stop_server(); }

    void start(const sim::ModemConfig& config = {})
    {
        modem_ = std::make_unique<sim::Modem>(config);
        std::string error;
        ASSERT_TRUE(server_.open_pty(path_, error)) << error;
        thread_ = std::thread([this] {
            server_.serve(
                *modem_, sim::ServeSettings{}, stop_, [] {},
                [this](const std::string& note) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    notes_.push_back(note);
                    changed_.notify_all();
                });
        });
    }

    void stop_server()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

    int open_far_end()
    {
        int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0) << path_;
        return fd;
    }

    // Reads until `end` has arrived or two seconds have passed.
    static std::string read_until(int fd, const std::string& end)
    {
        std::string got;
        while (got.find(end) == std::string::npos) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0)
                break;
            char buf[256];
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }

    static void send(int fd, const std::string& text)
    {
        ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }

    // Waits until the server has logged `count` job ends.
    bool wait_for_job_ends(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(3), [&] {
            return static_cast<size_t>(std::count(notes_.begin(), notes_.end(), "job ended")) >= count;
        });
    }

    sim::LineServer server_;
    std::unique_ptr<sim::Modem> modem_;
    std::string path_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> notes_;
};

}  // namespace

TEST_F(ServedPty, FarEndIsRawAt115200BeforeAnyoneConfiguresIt)
{
    start();
    int fd = open_far_end();
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));

    send(fd, "AT\r");
    EXPECT_EQ(read_until(fd, "OK\r\n"), "AT\r\r\nOK\r\n");
    ::close(fd);
}

TEST_F(ServedPty, SurvivesTheFlasherClosingAndReopeningAndDropsWhatWasLeftUnread)
{
    start();
    int fd = open_far_end();
    send(fd, "ATI5\r");
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1);  // the answer is waiting; the flasher closes without reading it
    ::close(fd);
    ASSERT_TRUE(wait_for_job_ends(1));

    fd = open_far_end();
    int waiting = -1;
    ASSERT_EQ(ioctl(fd, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 0);
    send(fd, "AT\r");
    EXPECT_EQ(read_until(fd, "OK\r\n"), "AT\r\r\nOK\r\n");
    ::close(fd);
    ASSERT_TRUE(wait_for_job_ends(2));
    stop_server();
    EXPECT_EQ(modem_->jobs_ended(), 2u);
}

TEST_F(ServedPty, VanishingModemHangsUpTheLine)
{
    sim::ModemConfig config;
    sim::FaultSpec spec;
    std::string error;
    ASSERT_TRUE(sim::parse_fault("vanish@cmd=2", spec, error)) << error;
    config.faults.push_back(spec);
    start(config);
    int fd = open_far_end();
    send(fd, "AT\r");
    EXPECT_EQ(read_until(fd, "OK\r\n"), "AT\r\r\nOK\r\n");
    send(fd, "AT\r");
    thread_.join();  // serving ends by itself
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    ::close(fd);
}

TEST_F(ServedPty, FlasherSerialLayerGetsOkToAt)
{
    start();
    fakes::Doubles d;
    platform::PosixClock clock;
    platform::PosixSerial serial;
    platform::services().clock = &clock;
    platform::services().serial = &serial;
    setenv("FLASHLOADER_COM3", path_.c_str(), 1);

    ASSERT_EQ(port_open_device(3), 0);
    ASSERT_EQ(port_configure(3), 0);
    ASSERT_EQ(port_write("AT\r", 3), 0);
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_MATCHED);
    EXPECT_EQ(std::string(job.rx_buf).substr(0, 7), "AT\r\r\nOK");

    ASSERT_EQ(port_write("ATI5\r", 5), 0);
    EXPECT_EQ(wait_reply("OK", 1, 1), WAIT_MATCHED);
    EXPECT_EQ(job.rx_buf[7], 'I');
    port_close();
    unsetenv("FLASHLOADER_COM3");
}
