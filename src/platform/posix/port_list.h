// The serial devices of the machine, read from sysfs, and which COM number
// maps to which device. The roots are parameters so that a test can lay out a
// small tree of its own; the programs pass "/sys" and "/dev".
#pragma once

#include <string>
#include <vector>

struct SerialPortInfo {
    std::string name;     // kernel name, "ttyUSB0"
    std::string device;   // its node under the /dev root
    std::string driver;   // "ftdi_sio", "cdc_acm", "serial8250"; "" when unknown
    std::string usb_maker;    // of the USB device it sits on, "" when not on USB
    std::string usb_product;
    std::string usb_id;       // "vvvv:pppp" on USB, else ""
    bool has_uart = true;     // false: an 8250/16550 port without hardware
    std::vector<std::string> stable_names;  // /dev/serial/by-id and by-path links to it
};

// Every tty with a device link in <sys_root>/class/tty, by name, except
// virtual terminals; ports without a UART are included with has_uart false.
std::vector<SerialPortInfo> scan_serial_ports(const std::string& sys_root, const std::string& dev_root);

// The port whose kernel name is the last part of `path` once its links are
// followed, or nullptr.
const SerialPortInfo* find_port_of(const std::vector<SerialPortInfo>& ports, const std::string& path);

// "Map one to a COM number: FLASHLOADER_COM1=... flashloader-cli -p 1 IMAGE",
// naming the first USB adapter's stable name when there is one.
std::string mapping_hint(const std::vector<SerialPortInfo>& ports);

// One line per usable port: its device, driver and USB product (made safe
// for a terminal); "No serial devices found." when there is none.
std::string describe_ports(const std::vector<SerialPortInfo>& ports);

// The whole --list-ports text: the devices, then COM1 to COM9 (and any of
// COM10 to COM15 that is mapped) with their devices and whether they exist,
// then how to map a USB adapter.
std::string port_list_text(const std::string& sys_root, const std::string& dev_root);
