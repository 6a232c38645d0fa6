// The termios serial device against a pseudo-terminal pair made by the test:
// the flasher opens the slave end as COM7, the test plays the modem on the
// master end.
#include "app/flash_job.h"
#include "fakes.h"
#include "platform/posix/posix_serial.h"
#include "serial/serial_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

class PtyPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[128];
        ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        slave_path_ = name;
        setenv("FLASHLOADER_COM7", name, 1);
        platform::services().serial = &serial_;
    }

    void TearDown() override
    {
        serial_.close();
        unsetenv("FLASHLOADER_COM7");
        ::close(master_);
        ::close(slave_);
    }

    // What the modem end receives, up to `count` bytes within a bounded wait.
    std::string modem_reads(size_t count)
    {
        std::string got;
        while (got.size() < count) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0)
                break;
            char buf[64];
            ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }

    // The modem sends text; returns once the flasher's end sees all of it.
    void modem_sends(const std::string& text)
    {
        ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        int waiting = 0;
        for (int i = 0; i < 400 && waiting < static_cast<int>(text.size()); ++i) {
            poll(nullptr, 0, 5);
            ioctl(slave_, FIONREAD, &waiting);
        }
        ASSERT_EQ(waiting, static_cast<int>(text.size()));
    }

    fakes::Doubles d;
    platform::PosixSerial serial_;
    int master_ = -1;
    int slave_ = -1;
    std::string slave_path_;
};

TEST_F(PtyPort, OpenIsExclusiveUntilClosed)
{
    ASSERT_EQ(port_open_device(7), 0);
    EXPECT_TRUE(job.port_open);

    platform::PosixSerial second;
    EXPECT_FALSE(second.open("COM7"));
    EXPECT_EQ(second.last_error(), static_cast<uint32_t>(EBUSY));
    std::string kernel_name = slave_path_.substr(slave_path_.rfind('/') + 1);
    EXPECT_TRUE(d.debug.logged("COM7 (" + slave_path_ +
                               "): Device or resource busy; another program holds the port: a terminal program, or a "
                               "desktop modem manager that probes new ports with AT commands. The udev property "
                               "ID_MM_DEVICE_IGNORE=1 keeps such a manager away, e.g. the line KERNEL==\"" +
                               kernel_name +
                               "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\" in /etc/udev/rules.d/99-flashloader.rules (then "
                               "run: sudo udevadm trigger)"));

    port_close();
    EXPECT_FALSE(job.port_open);
    EXPECT_TRUE(second.open("COM7"));
    second.close();
}

TEST_F(PtyPort, ConfigureSetsTheSpeedKeepsFramingAndFlowControlAndGoesRaw)
{
    termios before{};
    ASSERT_EQ(tcgetattr(slave_, &before), 0);
    before.c_cflag = (before.c_cflag & ~(CSIZE | PARODD)) | CS7 | PARENB | CSTOPB | CRTSCTS;
    before.c_iflag |= ICRNL | IXON;
    before.c_lflag |= ICANON | ECHO | ISIG;
    before.c_oflag |= OPOST | ONLCR;
    cfsetispeed(&before, B9600);
    cfsetospeed(&before, B9600);
    ASSERT_EQ(tcsetattr(slave_, TCSANOW, &before), 0);
    // A pseudo-terminal forces 8 bits without parity: keep what it took.
    ASSERT_EQ(tcgetattr(slave_, &before), 0);
    const tcflag_t kept_cflags = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
    ASSERT_TRUE(before.c_cflag & CSTOPB);

    ASSERT_EQ(port_open_device(7), 0);
    ASSERT_EQ(port_configure(7), 0);
    EXPECT_TRUE(d.window.boxes.empty());

    platform::LineSettings read_back;
    ASSERT_TRUE(serial_.get_settings(read_back));
    EXPECT_EQ(read_back.baud_rate, 115200u);
    EXPECT_EQ(read_back.stop_bits, 2);

    termios after{};
    ASSERT_EQ(tcgetattr(slave_, &after), 0);
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B115200));
    EXPECT_EQ(after.c_cflag & kept_cflags, before.c_cflag & kept_cflags);
    EXPECT_TRUE(after.c_iflag & IXON);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(after.c_iflag & (ICRNL | INLCR | IGNCR), 0u);
    EXPECT_EQ(after.c_oflag & OPOST, 0u);
    EXPECT_EQ(after.c_cc[VMIN], 0);
    EXPECT_EQ(after.c_cc[VTIME], 0);
}

TEST_F(PtyPort, ReadsOnlyWhatWaitsAndAtMostTheCountAsked)
{
    ASSERT_EQ(port_open_device(7), 0);
    ASSERT_EQ(port_configure(7), 0);
    char buf[32] = {};
    EXPECT_EQ(port_read(buf, 20), 0);  // nothing waiting: returns at once

    modem_sends("OK\r\nVer:4.4\r\n");
    uint32_t flags = 99;
    uint32_t waiting = 0;
    ASSERT_TRUE(serial_.clear_errors(flags, waiting));
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(waiting, 13u);

    EXPECT_EQ(port_read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "OK\r\n");  // no CR/LF translation
    EXPECT_EQ(port_read(buf, 20), 9);
    EXPECT_EQ(std::string(buf, 9), "Ver:4.4\r\n");
    EXPECT_EQ(port_read(buf, 20), 0);
    EXPECT_TRUE(d.debug.lines().empty());
}

TEST_F(PtyPort, WritesAndImmediateCharactersReachTheModemUnchanged)
{
    ASSERT_EQ(port_open_device(7), 0);
    ASSERT_EQ(port_configure(7), 0);
    std::string line = ":10000000" + std::string(100, 'A') + "\n";
    ASSERT_EQ(port_write(line.data(), static_cast<int>(line.size())), 0);
    EXPECT_EQ(modem_reads(line.size()), line);  // no LF to CR LF expansion

    port_send_immediate('Y');
    EXPECT_EQ(modem_reads(1), "Y");
}

TEST_F(PtyPort, ALargeWriteIsDeliveredWholeWhileTheModemReadsSlowly)
{
    ASSERT_EQ(port_open_device(7), 0);
    ASSERT_EQ(port_configure(7), 0);
    // More than the pseudo-terminal buffers: the write has to wait for room.
    std::string data;
    for (int i = 0; data.size() < 200000; ++i)
        data += std::to_string(i) + ",";
    pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        char buf[1024];
        size_t total = 0;
        while (total < data.size()) {
            ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                _exit(2);
            total += static_cast<size_t>(n);
        }
        _exit(total == data.size() ? 0 : 1);
    }
    EXPECT_EQ(port_write(data.data(), static_cast<int>(data.size())), 0);
    int status = 0;
    ASSERT_EQ(waitpid(reader, &status, 0), reader);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(PtyPort, AMissingDeviceFailsAndNamesTheReason)
{
    setenv("FLASHLOADER_COM7", "/nonexistent/tty7", 1);
    EXPECT_EQ(port_open_device(7), -1);
    EXPECT_FALSE(job.port_open);
    EXPECT_EQ(serial_.last_error(), static_cast<uint32_t>(ENOENT));
    EXPECT_TRUE(d.debug.logged("COM7 (/nonexistent/tty7): No such file or directory"));
}

TEST_F(PtyPort, AFileThatIsNoTerminalIsRefused)
{
    char path[] = "/tmp/flashloader-notty-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    setenv("FLASHLOADER_COM7", path, 1);
    EXPECT_EQ(port_open_device(7), -1);
    EXPECT_TRUE(d.debug.logged(std::string("COM7 (") + path + "): Inappropriate ioctl for device; it is not a serial device"));
    // The refused open let go of the file: nothing keeps it locked.
    int again = ::open(path, O_RDWR);
    ASSERT_GE(again, 0);
    EXPECT_EQ(flock(again, LOCK_EX | LOCK_NB), 0);
    ::close(again);
    unlink(path);
}

TEST(SerialDevicePath, MapsComNamesToDevices)
{
    setenv("FLASHLOADER_COM3", "/dev/pts/42", 1);
    struct Case {
        const char* name;
        const char* path;  // nullptr: not a COM name
    } cases[] = {
        {"COM1", "/dev/ttyS0"}, {"COM4", "/dev/ttyS3"}, {"COM:", "/dev/ttyS9"}, {"COM?", "/dev/ttyS14"},
        {"COM3", "/dev/pts/42"}, {"COM0", nullptr},      {"COM@", nullptr},      {"COM12", nullptr},
        {"COM", nullptr},       {"LPT1", nullptr},
    };
    for (const Case& c : cases) {
        char path[64] = {};
        bool ok = platform::serial_device_path(c.name, path, sizeof path);
        EXPECT_EQ(ok, c.path != nullptr) << c.name;
        if (c.path) {
            EXPECT_STREQ(path, c.path) << c.name;
        }
    }
    unsetenv("FLASHLOADER_COM3");
}

TEST(OpenFailure, DeniedNamesTheGroupThatOwnsTheDevice)
{
    char path[] = "/tmp/flashloader-denied-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const group* own = getgrgid(getegid());
    ASSERT_NE(own, nullptr);
    std::string group_name = own->gr_name;

    char text[320];
    platform::describe_open_failure(EACCES, "COM2", path, text, sizeof text);
    EXPECT_EQ(std::string(text), std::string("COM2 (") + path + "): Permission denied; join the group '" + group_name +
                                     "' that owns the device (sudo usermod -aG " + group_name +
                                     " $USER), then log out and in again");
    unlink(path);

    char small[16];
    platform::describe_open_failure(EACCES, "COM2", "/dev/ttyS1", small, sizeof small);
    EXPECT_STREQ(small, "COM2 (/dev/ttyS");  // cut to the buffer, still terminated
}

}  // namespace
