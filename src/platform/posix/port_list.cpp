#include "platform/posix/port_list.h"

#include "platform/posix/posix_serial.h"
#include "platform/posix/terminal_text.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr int LISTED_COM_PORTS = 9;  // COM10 to COM15 only when mapped
constexpr int MAX_COM_PORT = 15;
// A device sits a few levels below its USB device; this bounds the walk up.
constexpr int MAX_PARENT_STEPS = 12;

// The first line of a sysfs attribute, "" when it cannot be read.
std::string read_attribute(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

// The entries of a folder; none when it cannot be read.
std::vector<fs::path> entries_of(const fs::path& folder)
{
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    return entries;
}

bool all_digits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// tty, tty0 ... tty63, console, ptmx: the consoles, never a serial line.
bool is_virtual_terminal(const std::string& name)
{
    return name == "tty" || name == "console" || name == "ptmx" ||
           (name.rfind("tty", 0) == 0 && all_digits(name.substr(3)));
}

// The driver of the device or of the nearest parent that has one. Newer
// kernels put a generic port device of the serial-base bus between the tty
// and the hardware; its driver ("port", "ctrl") says nothing, so it is passed.
std::string driver_of(fs::path dir)
{
    std::error_code ec;
    for (int step = 0; step < MAX_PARENT_STEPS && dir.has_relative_path(); ++step, dir = dir.parent_path()) {
        fs::path target = fs::read_symlink(dir / "driver", ec);
        if (ec)
            continue;
        if (target.string().find("/serial-base/") == std::string::npos)
            return target.filename().string();
    }
    return "";
}

// The USB device the port sits on: the nearest parent with a vendor id.
void read_usb_parent(fs::path dir, SerialPortInfo& port)
{
    std::error_code ec;
    for (int step = 0; step < MAX_PARENT_STEPS && dir.has_relative_path(); ++step, dir = dir.parent_path()) {
        if (!fs::exists(dir / "idVendor", ec))
            continue;
        port.usb_id = read_attribute(dir / "idVendor") + ":" + read_attribute(dir / "idProduct");
        port.usb_maker = read_attribute(dir / "manufacturer");
        port.usb_product = read_attribute(dir / "product");
        return;
    }
}

// The links in /dev/serial/by-id and by-path that lead to the device node.
std::vector<std::string> stable_names_of(const std::string& dev_root, const std::string& name)
{
    std::vector<std::string> names;
    std::error_code ec;
    fs::path node = fs::weakly_canonical(fs::path(dev_root) / name, ec);
    for (const char* folder : {"serial/by-id", "serial/by-path"}) {
        for (const fs::path& link : entries_of(fs::path(dev_root) / folder)) {
            std::error_code link_ec;
            if (fs::weakly_canonical(link, link_ec) == node && !link_ec)
                names.push_back(link.string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// ttyS2 before ttyS10: the letters first, then the number.
bool natural_less(const SerialPortInfo& a, const SerialPortInfo& b)
{
    auto split = [](const std::string& name) {
        size_t digits = name.find_last_not_of("0123456789") + 1;
        std::string number = name.substr(digits);
        return std::make_pair(name.substr(0, digits), number.empty() ? -1L : std::stol(number));
    };
    return split(a.name) < split(b.name);
}

// A path under /dev read under the given /dev root instead.
std::string under_dev_root(const std::string& path, const std::string& dev_root)
{
    return path.rfind("/dev/", 0) == 0 ? dev_root + path.substr(4) : path;
}

std::string usb_text(const SerialPortInfo& port)
{
    std::string text = port.usb_maker;
    if (!port.usb_product.empty())
        text += (text.empty() ? "" : " ") + port.usb_product;
    if (!port.usb_id.empty())
        text += (text.empty() ? "[" : " [") + port.usb_id + "]";
    return text;
}

// What a COM port's device is: missing, a listed port, or something else.
std::string com_status(const std::string& path, const std::vector<SerialPortInfo>& ports, const std::string& dev_root)
{
    std::string local = under_dev_root(path, dev_root);
    std::error_code ec;
    if (!fs::exists(local, ec))
        return "missing";
    const SerialPortInfo* port = find_port_of(ports, local);
    if (!port)
        return "present, not a serial device listed above";
    if (!port->has_uart)
        return "present, no UART";
    if (port->device == local)
        return "present";
    std::string usb = usb_text(*port);
    return "-> " + port->device + (usb.empty() ? "" : ", " + usb);
}

std::string com_lines(const std::vector<SerialPortInfo>& ports, const std::string& dev_root)
{
    std::string text = "COM ports (FLASHLOADER_COM<n>, else /dev/ttyS<n-1>):\n";
    for (int n = 1; n <= MAX_COM_PORT; ++n) {
        const char com_name[] = {'C', 'O', 'M', static_cast<char>('0' + n), '\0'};
        char path[256];
        bool mapped = false;
        if (!platform::serial_device_path(com_name, path, sizeof path, &mapped) || (n > LISTED_COM_PORTS && !mapped))
            continue;
        std::string label = "COM" + std::to_string(n);
        text += "  " + label + std::string(label.size() < 6 ? 6 - label.size() : 1, ' ') + path +
                (mapped ? " (FLASHLOADER_" + label + ")" : "") + "  " + com_status(path, ports, dev_root) + "\n";
    }
    return text;
}

}  // namespace

std::vector<SerialPortInfo> scan_serial_ports(const std::string& sys_root, const std::string& dev_root)
{
    std::vector<SerialPortInfo> ports;
    for (const fs::path& entry : entries_of(fs::path(sys_root) / "class" / "tty")) {
        SerialPortInfo port;
        port.name = entry.filename().string();
        std::error_code link_ec;
        fs::path device = fs::canonical(entry / "device", link_ec);
        if (link_ec || is_virtual_terminal(port.name))
            continue;
        port.device = (fs::path(dev_root) / port.name).string();
        // An 8250 port the kernel reserved without finding hardware: type 0.
        port.has_uart = !(port.name.rfind("ttyS", 0) == 0 && read_attribute(entry / "type") == "0");
        port.driver = driver_of(device);
        read_usb_parent(device, port);
        port.stable_names = stable_names_of(dev_root, port.name);
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(), natural_less);
    return ports;
}

const SerialPortInfo* find_port_of(const std::vector<SerialPortInfo>& ports, const std::string& path)
{
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(path, ec);
    std::string name = (ec ? fs::path(path) : resolved).filename().string();
    for (const SerialPortInfo& port : ports)
        if (port.name == name)
            return &port;
    return nullptr;
}

std::string mapping_hint(const std::vector<SerialPortInfo>& ports)
{
    std::string example = "/dev/serial/by-id/...";
    for (const SerialPortInfo& port : ports) {
        if (port.has_uart && !port.usb_id.empty()) {
            example = port.stable_names.empty() ? port.device : port.stable_names.front();
            break;
        }
    }
    example = printable(example.c_str(), false);
    return "Map a device to a COM number with FLASHLOADER_COM<n>, e.g.\n  FLASHLOADER_COM1=" + example +
           " flashloader-cli -p 1 IMAGE\n  FLASHLOADER_COM1=" + example +
           " flashloader 1    (the window)\nor probe just that device: flashloader-cli -d " + example + " IMAGE\n";
}

std::string describe_ports(const std::vector<SerialPortInfo>& ports)
{
    std::string text;
    for (const SerialPortInfo& port : ports) {
        if (!port.has_uart)
            continue;
        std::string line = "  " + port.device;
        if (!port.driver.empty())
            line += "  " + port.driver;
        std::string usb = usb_text(port);
        if (!usb.empty())
            line += "  " + usb;
        text += printable(line.c_str(), false) + "\n";
        for (const std::string& name : port.stable_names)
            text += "      " + printable(name.c_str(), false) + "\n";
    }
    return text.empty() ? "No serial devices found.\n" : "Serial devices:\n" + text;
}

std::string port_list_text(const std::string& sys_root, const std::string& dev_root)
{
    std::vector<SerialPortInfo> ports = scan_serial_ports(sys_root, dev_root);
    return describe_ports(ports) + "\n" + printable(com_lines(ports, dev_root).c_str(), true) + "\n" + mapping_hint(ports);
}
