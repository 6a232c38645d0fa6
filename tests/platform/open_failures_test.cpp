// Which failures to open a COM port reach the user, and in which words.
#include "fakes.h"
#include "platform/posix/open_failures.h"
#include "platform/posix/posix_serial.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pty.h>
#include <string>
#include <unistd.h>

namespace {

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A machine with a USB adapter, a UART on ttyS0 and none on ttyS1.
std::vector<SerialPortInfo> machine()
{
    SerialPortInfo uart{"ttyS0", "/dev/ttyS0", "serial", "", "", "", true, {}};
    SerialPortInfo no_uart{"ttyS1", "/dev/ttyS1", "serial", "", "", "", false, {}};
    SerialPortInfo usb{"ttyUSB0", "/dev/ttyUSB0", "ftdi_sio", "FTDI", "FT232R USB UART", "0403:6001", true,
                       {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"}};
    return {uart, no_uart, usb};
}

TEST(OpenFailureText, EachErrorSaysWhatToDo)
{
    struct Case {
        int error;
        const char* hint;  // nullptr: the error text alone
    } cases[] = {
        {EBUSY, "; another program holds the port: a terminal program, or a desktop modem manager that probes new "
                "ports with AT commands. The udev property ID_MM_DEVICE_IGNORE=1 keeps such a manager away, e.g. the "
                "line KERNEL==\"ttyUSB9\", ENV{ID_MM_DEVICE_IGNORE}=\"1\" in /etc/udev/rules.d/99-flashloader.rules "
                "(then run: sudo udevadm trigger)"},
        {ENOTTY, "; it is not a serial device"},
        {EACCES, "; join the group that owns the device, then log out and in again"},  // gone: no group known
        {ENOENT, nullptr},
        {EIO, nullptr},
    };
    for (const Case& c : cases) {
        char text[1024];
        platform::describe_open_failure(c.error, "COM3", "/nowhere/ttyUSB9", text, sizeof text);
        std::string expected = std::string("COM3 (/nowhere/ttyUSB9): ") + std::strerror(c.error) + (c.hint ? c.hint : "");
        EXPECT_EQ(text, expected) << c.error;
    }
}

TEST(OpenFailureFilter, OnlyFailuresWorthActingOnAreReported)
{
    struct Case {
        PortOpenOutcome outcome;
        bool reported;
    } cases[] = {
        {{"COM1", "/dev/ttyS0", false, 0}, false},                // opened
        {{"COM4", "/dev/ttyS3", false, ENOENT}, false},           // the default, absent
        {{"COM2", "/dev/ttyS1", false, EIO}, false},              // the default, no UART
        {{"COM2", "/dev/ttyS1", false, EACCES}, false},           // denied, but sysfs says no UART
        {{"COM1", "/dev/ttyS0", false, EACCES}, true},            // denied, a real UART
        {{"COM3", "/dev/ttyS2", false, EACCES}, true},            // denied, unknown to sysfs
        {{"COM1", "/dev/ttyS0", false, EBUSY}, true},
        {{"COM1", "/dev/ttyS0", false, ENOTTY}, true},
        {{"COM1", "/tmp/gone", true, ENOENT}, true},              // mapped: every failure
        {{"COM1", "/dev/ttyS1", true, EIO}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(worth_reporting(c.outcome, machine()), c.reported)
            << c.outcome.com_name << " " << c.outcome.path << " " << c.outcome.error;
}

TEST(OpenFailureReport, ListsDevicesWhenNothingCouldBeOpenedOrAMappedOneIsMissing)
{
    const std::string devices = "Serial devices:\n  /dev/ttyS0  serial\n  /dev/ttyUSB0  ftdi_sio  FTDI FT232R USB "
                                "UART [0403:6001]\n      /dev/serial/by-id/usb-FTDI_FT232R-if00-port0\n";
    const std::string hint = "FLASHLOADER_COM1=/dev/serial/by-id/usb-FTDI_FT232R-if00-port0 flashloader-cli -p 1 IMAGE";

    // The defaults only, none a serial port: nothing per port, but which
    // devices exist and how to map one.
    std::string none = open_failure_report({{"COM4", "/dev/ttyS3", false, ENOENT},
                                            {"COM3", "/dev/ttyS2", false, ENOENT},
                                            {"COM2", "/dev/ttyS1", false, EIO},
                                            {"COM1", "/dev/ttyS0", false, ENOENT}},
                                           machine());
    EXPECT_EQ(none.rfind("No COM port could be opened (tried COM4 to COM1: /dev/ttyS3 to /dev/ttyS0).\n" + devices, 0),
              0u)
        << none;
    EXPECT_TRUE(has(none, hint)) << none;

    // A mapped device that is missing: its line, then the devices.
    std::string missing = open_failure_report(
        {{"COM2", "/tmp/gone", true, ENOENT}, {"COM1", "/dev/ttyS0", false, 0}}, machine());
    EXPECT_EQ(missing.rfind("Ports that could not be opened:\n  COM2 (/tmp/gone): No such file or directory\n" + devices,
                            0),
              0u)
        << missing;

    // A busy port while another opened: its line alone.
    std::string busy = open_failure_report(
        {{"COM2", "/dev/ttyS0", false, EBUSY}, {"COM1", "/dev/ttyS3", false, 0}}, machine());
    EXPECT_EQ(busy.rfind("Ports that could not be opened:\n  COM2 (/dev/ttyS0): Device or resource busy; another", 0),
              0u)
        << busy;
    EXPECT_FALSE(has(busy, "Serial devices")) << busy;

    // A port opened and the rest simply absent: nothing to act on.
    EXPECT_EQ(open_failure_report({{"COM2", "/dev/ttyS1", false, ENOENT}, {"COM1", "/dev/ttyS0", false, 0}},
                                  machine()),
              "");
    EXPECT_EQ(open_failure_report({}, machine()), "");
}

TEST(OpenFailureRecord, TheSerialBackendKeepsTheLastOutcomeOfEachPort)
{
    int master = -1;
    int slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    setenv("FLASHLOADER_COM6", "/nonexistent/flashloader-port", 1);
    std::string too_long = "/" + std::string(300, 'x');
    setenv("FLASHLOADER_COM5", too_long.c_str(), 1);

    fakes::Doubles d;  // the backend logs its failures
    platform::PosixSerial serial;
    EXPECT_FALSE(serial.open("COM6"));
    EXPECT_FALSE(serial.open("COM5"));
    setenv("FLASHLOADER_COM6", name, 1);
    EXPECT_TRUE(serial.open("COM6"));
    serial.close();

    const std::vector<PortOpenOutcome>& outcomes = serial.open_record().outcomes();
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].com_name, "COM6");
    EXPECT_EQ(outcomes[0].path, name);
    EXPECT_TRUE(outcomes[0].mapped);
    EXPECT_EQ(outcomes[0].error, 0);
    EXPECT_EQ(outcomes[1].com_name, "COM5");
    EXPECT_TRUE(outcomes[1].mapped);
    EXPECT_EQ(outcomes[1].error, ENAMETOOLONG);

    unsetenv("FLASHLOADER_COM6");
    unsetenv("FLASHLOADER_COM5");
    ::close(master);
    ::close(slave);
}

}  // namespace
