#include "serial/serial_port.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/main_window.h"
#include "platform/platform.h"

#include <cstring>

namespace {

// Only the port character and the device name are taken from it; the speed
// and framing written here are never applied.
constexpr char CONFIG_TEXT[] = "COMx:19200,n,8,1";
constexpr int CONFIG_PORT_POS = 3;
constexpr uint32_t CONFIGURED_BAUD = 115200;

void config_text_for(int port_number, char (&text)[sizeof CONFIG_TEXT])
{
    std::memcpy(text, CONFIG_TEXT, sizeof CONFIG_TEXT);
    text[CONFIG_PORT_POS] = static_cast<char>('0' + port_number);
}

}  // namespace

void log_line(const char* text)
{
    platform::debug_output("\n");
    platform::debug_output(text);
    platform::debug_output("\n");
}

int port_open_device(int port_number)
{
    char name[sizeof CONFIG_TEXT];
    config_text_for(port_number, name);
    name[CONFIG_PORT_POS + 1] = '\0';  // the port character itself may be a colon
    if (!platform::serial().open(name)) {
        job.port_open = false;
        return -1;
    }
    job.port_open = true;
    return 0;
}

int port_configure(int port_number)
{
    char config[sizeof CONFIG_TEXT];
    config_text_for(port_number, config);

    platform::SerialDevice& serial = platform::serial();
    platform::LineSettings settings;
    if (!serial.get_settings(settings)) {
        main_window_message_box("GetCommState Error", "Error...", platform::mb::OK | platform::mb::ICON_EXCLAMATION);
        port_close();
        log_line(config);
        return -1;
    }
    settings.baud_rate = CONFIGURED_BAUD;
    if (!serial.set_settings(settings)) {
        uint32_t error = serial.last_error();
        format_text(job.msg_buf, "SetCommState error port = %d error = %d", port_number, static_cast<int>(error));
        main_window_message_box(job.msg_buf, "Error...", platform::mb::OK | platform::mb::ICON_EXCLAMATION);
        port_close();
        return -1;
    }
    return 0;
}

int port_read(char* dest, int max_count)
{
    platform::SerialDevice& serial = platform::serial();
    uint32_t flags = 0;
    uint32_t waiting = 0;
    serial.clear_errors(flags, waiting);
    if ((flags & ~platform::COMM_ERR_OVERRUN) != 0) {
        char text[48];
        format_text(text, "comm error dwErrorFlags = %X\n", static_cast<unsigned>(flags));
        log_line(text);
    }
    uint32_t count = waiting < static_cast<uint32_t>(max_count) ? waiting : static_cast<uint32_t>(max_count);
    if (count == 0)
        return 0;
    uint32_t got = 0;
    if (!serial.read(dest, count, got)) {
        serial.clear_errors(flags, waiting);
        return 0;
    }
    return static_cast<int>(got > count ? count : got);
}

int port_write(const char* data, int count)
{
    platform::SerialDevice& serial = platform::serial();
    if (serial.write(data, static_cast<uint32_t>(count)))
        return 0;
    uint32_t flags = 0;
    uint32_t waiting = 0;
    serial.clear_errors(flags, waiting);
    return -1;
}

void port_settle()
{
    platform::serial().clear_break();
    platform::sleep_ms(PORT_SETTLE_MS);
}

void port_send_immediate(char ch)
{
    if (!job.port_open)
        return;
    platform::serial().transmit_char(ch);
}

void port_close()
{
    platform::serial().close();
    job.port_open = false;
}

int comm_read(int offset, int max_count)
{
    return port_read(job.rx_buf + offset, max_count);
}
