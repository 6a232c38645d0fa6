// The port listing over a small fake machine: folders, attribute files and
// relative links laid out as sysfs and /dev lay them out, in a temporary
// directory.
#include "platform/posix/port_list.h"
#include "platform/posix/terminal_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr char USB_DEVICE[] = "devices/pci0000:00/0000:00:14.0/usb1/1-2";
constexpr char BY_ID[] = "serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2-if00-port0";

void clear_com_variables()
{
    for (int n = 1; n <= 15; ++n)
        unsetenv(("FLASHLOADER_COM" + std::to_string(n)).c_str());
}

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class FakeMachine : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/flashloader-ports-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        sys_ = root_ + "/sys";
        dev_ = root_ + "/dev";
        fs::create_directories(sys_ + "/class/tty");
        fs::create_directories(dev_);
        clear_com_variables();
    }
    void TearDown() override
    {
        clear_com_variables();
        fs::remove_all(root_);
    }

    void write(const std::string& path, const std::string& content)
    {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << content << "\n";
    }
    // A relative link at `at` to `target`, as sysfs and udev make them.
    void link(const std::string& at, const std::string& target)
    {
        fs::create_directories(fs::path(at).parent_path());
        fs::create_directory_symlink(fs::relative(target, fs::path(at).parent_path()), at);
    }

    // A tty under the device folder `device` (relative to sys), listed in
    // class/tty, with its node in dev.
    void tty(const std::string& name, const std::string& device)
    {
        std::string tty_dir = sys_ + "/" + device + "/tty/" + name;
        fs::create_directories(tty_dir);
        link(tty_dir + "/device", sys_ + "/" + device);
        link(sys_ + "/class/tty/" + name, tty_dir);
        write(dev_ + "/" + name, "");
    }
    void driver(const std::string& device, const std::string& bus, const std::string& name)
    {
        link(sys_ + "/" + device + "/driver", sys_ + "/bus/" + bus + "/drivers/" + name);
    }

    void usb_adapter()
    {
        std::string usb = sys_ + "/" + USB_DEVICE;
        write(usb + "/idVendor", "0403");
        write(usb + "/idProduct", "6001");
        write(usb + "/manufacturer", "FTDI");
        write(usb + "/product", "FT232R USB UART");
        std::string port = std::string(USB_DEVICE) + "/1-2:1.0/ttyUSB0";
        tty("ttyUSB0", port);
        driver(port, "usb-serial", "ftdi_sio");
        link(dev_ + "/" + BY_ID, dev_ + "/ttyUSB0");
    }

    // An 8250 port behind the generic port devices of newer kernels; type 0
    // when the kernel found no UART there.
    void serial_port(int n, int type)
    {
        std::string pnp = "devices/pnp0/00:0" + std::to_string(n);
        std::string port = pnp + "/00:0" + std::to_string(n) + ":0/00:0" + std::to_string(n) + ":0.0";
        std::string name = "ttyS" + std::to_string(n);
        tty(name, port);
        write(sys_ + "/class/tty/" + name + "/type", std::to_string(type));
        driver(port, "serial-base", "port");
        driver(pnp, "pnp", "serial");
    }

    std::string root_, sys_, dev_;
};

TEST_F(FakeMachine, ListsUsbAdaptersAndUartsAndSkipsTheRest)
{
    usb_adapter();
    serial_port(0, 4);
    serial_port(1, 0);
    serial_port(10, 4);
    // A virtual terminal, with and without a device link, and the console.
    fs::create_directories(sys_ + "/devices/virtual/tty/tty0");
    link(sys_ + "/class/tty/tty0", sys_ + "/devices/virtual/tty/tty0");
    tty("tty1", "devices/virtual/vt1");
    fs::create_directories(sys_ + "/devices/virtual/tty/console");
    link(sys_ + "/class/tty/console", sys_ + "/devices/virtual/tty/console");

    std::vector<SerialPortInfo> ports = scan_serial_ports(sys_, dev_);
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_EQ(ports[0].name, "ttyS0");
    EXPECT_EQ(ports[1].name, "ttyS1");
    EXPECT_EQ(ports[2].name, "ttyS10");
    EXPECT_EQ(ports[3].name, "ttyUSB0");
    EXPECT_EQ(ports[0].driver, "serial");  // not the generic "port" in between
    EXPECT_TRUE(ports[0].usb_id.empty());
    EXPECT_FALSE(ports[1].has_uart);
    EXPECT_EQ(ports[3].driver, "ftdi_sio");
    EXPECT_EQ(ports[3].usb_id, "0403:6001");
    EXPECT_EQ(ports[3].stable_names, std::vector<std::string>{dev_ + "/" + BY_ID});

    std::string text = port_list_text(sys_, dev_);
    EXPECT_TRUE(has(text, "Serial devices:\n  " + dev_ + "/ttyS0  serial\n  " + dev_ + "/ttyS10  serial\n  " + dev_ +
                              "/ttyUSB0  ftdi_sio  FTDI FT232R USB UART [0403:6001]\n      " + dev_ + "/" + BY_ID +
                              "\n"))
        << text;
    std::string devices = text.substr(0, text.find("COM ports"));
    EXPECT_FALSE(has(devices, "ttyS1 ")) << text;
    EXPECT_FALSE(has(text, "tty0")) << text;
    EXPECT_FALSE(has(text, "tty1")) << text;
    EXPECT_TRUE(has(text, "FLASHLOADER_COM1=" + dev_ + "/" + BY_ID + " flashloader-cli -p 1 IMAGE")) << text;
}

TEST_F(FakeMachine, ComPortsShowTheirDevicesAndWhetherTheyExist)
{
    usb_adapter();
    serial_port(0, 4);
    serial_port(1, 0);
    setenv("FLASHLOADER_COM3", (dev_ + "/" + BY_ID).c_str(), 1);
    setenv("FLASHLOADER_COM4", (root_ + "/nothing").c_str(), 1);
    setenv("FLASHLOADER_COM12", (dev_ + "/ttyS0").c_str(), 1);
    write(root_ + "/plain-file", "");
    setenv("FLASHLOADER_COM5", (root_ + "/plain-file").c_str(), 1);

    std::string text = port_list_text(sys_, dev_);
    struct Case {
        const char* com;
        std::string line;
    } cases[] = {
        {"COM1", "  COM1  /dev/ttyS0  present\n"},
        {"COM2", "  COM2  /dev/ttyS1  present, no UART\n"},
        {"COM3", "  COM3  " + dev_ + "/" + BY_ID + " (FLASHLOADER_COM3)  -> " + dev_ +
                     "/ttyUSB0, FTDI FT232R USB UART [0403:6001]\n"},
        {"COM4", "  COM4  " + root_ + "/nothing (FLASHLOADER_COM4)  missing\n"},
        {"COM5", "  COM5  " + root_ + "/plain-file (FLASHLOADER_COM5)  present, not a serial device listed above\n"},
        {"COM6", "  COM6  /dev/ttyS5  missing\n"},
        {"COM12", "  COM12 " + dev_ + "/ttyS0 (FLASHLOADER_COM12)  present\n"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(has(text, c.line)) << c.com << "\n" << text;
    EXPECT_TRUE(has(text, "  COM9  /dev/ttyS8  missing\n")) << text;
    EXPECT_FALSE(has(text, "COM10")) << text;  // past COM9 only when mapped
}

TEST_F(FakeMachine, AnEmptyMachineSaysSo)
{
    std::string text = port_list_text(sys_, dev_);
    EXPECT_TRUE(has(text, "No serial devices found.\n")) << text;
    EXPECT_TRUE(has(text, "  COM1  /dev/ttyS0  missing\n")) << text;
    EXPECT_TRUE(has(text, "FLASHLOADER_COM1=/dev/serial/by-id/... flashloader-cli -p 1 IMAGE")) << text;
    // Not even the sysfs folder: the same.
    EXPECT_TRUE(has(port_list_text(root_ + "/no-sys", root_ + "/no-dev"), "No serial devices found.\n"));
}

TEST_F(FakeMachine, NamesFromDevicesCannotDriveTheTerminal)
{
    usb_adapter();
    write(sys_ + "/" + USB_DEVICE + "/product", "Evil\x1b]2;owned\x07 \xc2\x9b" "31m caf\xc3\xa9");
    std::string text = port_list_text(sys_, dev_);
    EXPECT_TRUE(has(text, "FTDI Evil.]2;owned. .31m caf\xc3\xa9 [0403:6001]")) << text;
}

TEST(Printable, ControlsAndBrokenUtf8BecomeDots)
{
    struct Case {
        const char* in;
        bool keep_line_feeds;
        const char* out;
    } cases[] = {
        {"plain text", false, "plain text"},
        {"a\nb\rc\td\x7f", false, "a.b.c.d."},
        {"a\nb", true, "a\nb"},
        {"\x1b[2J", false, ".[2J"},
        {"\xc2\x9b" "2J", false, ".2J"},                      // C1 CSI as UTF-8
        {"\x9b" "2J", false, ".2J"},                           // C1 CSI as a raw byte
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xa1", false, "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xa1"},
        {"\xc3", false, "."},                                  // cut short at the end
        {"\xc0\xaf \xe0\x80\xaf", false, ".. ..."},            // overlong forms
        {"\xed\xa0\x80 \xf5\x80\x80\x80", false, "... ...."},  // surrogate, past U+10FFFF
    };
    for (const Case& c : cases)
        EXPECT_EQ(printable(c.in, c.keep_line_feeds), c.out) << c.in;
}

}  // namespace
