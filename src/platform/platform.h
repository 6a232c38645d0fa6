// The outside world as the core sees it: a tick clock, a debug channel, one
// serial device and the window side. Each executable installs one backend set
// (POSIX, Win32, a front end); tests install scripted doubles.
#pragma once

#include <cstdint>

namespace platform {

// Millisecond tick counter (wraps at 2^32) and a plain sleep.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t tick_ms() = 0;
    virtual void sleep_ms(uint32_t ms) = 0;
};

// Where diagnostic text goes (a debugger channel, standard error, a test capture).
class DebugChannel {
public:
    virtual ~DebugChannel() = default;
    virtual void output(const char* text) = 0;
};

// Line settings as read from and written back to the device. Only the speed is
// ever changed by the core; the rest travels back unchanged.
struct LineSettings {
    uint32_t baud_rate = 0;
    uint8_t byte_size = 0;
    uint8_t parity = 0;     // 0 none, 1 odd, 2 even
    uint8_t stop_bits = 0;  // 0 one, 2 two
};

// Error flag bits reported by clear_errors, as a COM driver reports them.
enum : uint32_t {
    COMM_ERR_RXOVER = 0x0001,
    COMM_ERR_OVERRUN = 0x0002,
    COMM_ERR_RXPARITY = 0x0004,
    COMM_ERR_FRAME = 0x0008,
    COMM_ERR_BREAK = 0x0010,
};

// The one serial device of the program. Every call acts on the device opened
// last; calls on a closed device fail or do nothing.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    // Exclusive open by the COM device name ("COM1" ... "COM?"); false when
    // the device is missing, busy or not permitted (the reason goes to the
    // debug channel).
    virtual bool open(const char* com_name) = 0;
    virtual bool get_settings(LineSettings& settings) = 0;
    virtual bool set_settings(const LineSettings& settings) = 0;
    // System error code of the last failed call (shown to the user).
    virtual uint32_t last_error() = 0;
    // Fetch and clear the error flags; report how many bytes are waiting.
    virtual bool clear_errors(uint32_t& flags, uint32_t& bytes_waiting) = 0;
    // Read at most count bytes that are already waiting; never blocks.
    virtual bool read(void* dest, uint32_t count, uint32_t& got) = 0;
    // Write all bytes before returning; false on failure.
    virtual bool write(const void* data, uint32_t count) = 0;
    virtual void clear_break() = 0;
    // Send one character ahead of any queued output.
    virtual void transmit_char(char ch) = 0;
    virtual void close() = 0;
    // Sleep until input is waiting or max_ms have passed, whichever is first.
    // Lets reply waits idle instead of spinning; returns early is always safe.
    virtual void wait_readable(uint32_t max_ms) = 0;
    // A descriptor that polls readable when input waits, or -1.
    virtual int poll_fd() const { return -1; }
};

// Message box flags and answers. Our own names: the Win32 headers define the
// familiar ones as macros.
namespace mb {
enum : unsigned {
    OK = 0x0000,
    YESNO = 0x0004,
    ICON_EXCLAMATION = 0x0030,
    DEFBUTTON2 = 0x0100,
};
enum Answer : int {
    ANSWER_OK = 1,
    ANSWER_CANCEL = 2,
    ANSWER_YES = 6,
    ANSWER_NO = 7,
};
}  // namespace mb

// What the open-file dialog is asked for, and what it gives back.
struct OpenFileRequest {
    const char* title = nullptr;           // "Choose File to Download"
    const char* filter = nullptr;          // pairs of description and pattern, NUL separated, double NUL ended
    int filter_index = 1;
    const char* default_extension = nullptr;
    bool file_must_exist = true;
    bool hide_read_only = true;
    char* file = nullptr;                  // in: proposed name; out: full path
    int file_size = 0;
    char* file_title = nullptr;            // out: name without directory
    int file_title_size = 0;
};

// Window events the main loop hands to the core.
enum class WindowEvent { None, CloseRequested, Destroyed, Quit, Other };

// The window side: the status display, boxes, dialog and events of a front end.
class WindowSide {
public:
    virtual ~WindowSide() = default;
    // Modal box owned by the main window; returns an mb::Answer.
    virtual int message_box(const char* text, const char* caption, unsigned flags) = 0;
    virtual void set_status_text(const char* text) = 0;
    virtual void set_progress(int percent) = 0;
    virtual void set_caption(const char* text) = 0;
    virtual void set_wait_cursor() = 0;
    virtual void set_arrow_cursor() = 0;
    // Modal open-file dialog; false when cancelled or failed.
    virtual bool open_file_dialog(OpenFileRequest& request) = 0;
    virtual void destroy_main_window() = 0;
    // Take one waiting event, or WindowEvent::None when nothing waits.
    virtual WindowEvent next_event() = 0;
    // A descriptor that polls readable when an event may be waiting, or -1.
    virtual int event_fd() const { return -1; }
    // Sleep until a window event may be waiting, the serial descriptor is
    // readable, or max_ms have passed. Lets the main loop idle while the job
    // only polls; returning early is always safe.
    virtual void idle_wait(int serial_fd, uint32_t max_ms) = 0;
};

// The installed backends. Every pointer must be set before the core runs.
struct Services {
    Clock* clock = nullptr;
    DebugChannel* debug = nullptr;
    SerialDevice* serial = nullptr;
    WindowSide* window = nullptr;
};

Services& services();

inline uint32_t tick_ms() { return services().clock->tick_ms(); }
inline void sleep_ms(uint32_t ms) { services().clock->sleep_ms(ms); }
inline void debug_output(const char* text) { services().debug->output(text); }
inline SerialDevice& serial() { return *services().serial; }
inline WindowSide& window() { return *services().window; }

}  // namespace platform
