// Scripted doubles of the platform layer for unit tests: a clock that moves by
// itself, a debug capture, a window that records and answers from a script,
// and a modem that answers what is written with scripted replies.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace fakes {

// Every tick_ms() call advances the time by `step_ms`; sleep advances by the
// sleep. A 180-second wait therefore runs in milliseconds of real time.
class FakeClock : public platform::Clock {
public:
    uint32_t now = 0;
    uint32_t step_ms = 1;
    uint32_t slept_ms = 0;
    uint32_t tick_ms() override;
    void sleep_ms(uint32_t ms) override;
    void advance(uint32_t ms) { now += ms; }
};

class CapturedDebug : public platform::DebugChannel {
public:
    std::vector<std::string> outputs;
    void output(const char* text) override { outputs.emplace_back(text); }
    // The texts given to log_line, which writes "\n", the text, "\n".
    std::vector<std::string> lines() const;
    bool logged(const std::string& text) const;
    int count(const std::string& text) const;
    void clear() { outputs.clear(); }
};

struct Box {
    std::string text;
    std::string caption;
    unsigned flags;
};

class FakeModem;

class ScriptedWindow : public platform::WindowSide {
public:
    std::vector<Box> boxes;
    std::deque<int> answers;  // answers for the next boxes, in order
    std::vector<std::string> status_texts;
    std::vector<int> progress_positions;
    std::vector<std::string> captions;
    int wait_cursor_calls = 0;
    int arrow_cursor_calls = 0;
    int destroy_calls = 0;
    std::deque<platform::WindowEvent> events;

    // The file dialog: what it saw, and what it answers.
    int dialog_calls = 0;
    std::string dialog_initial_file;
    std::string dialog_title;
    std::string dialog_filter;  // with NULs as '|'
    int dialog_filter_index = 0;
    std::string dialog_default_extension;
    bool dialog_file_must_exist = false;
    bool dialog_hide_read_only = false;
    bool dialog_result = false;
    std::string dialog_path;
    std::string dialog_file_title;

    // Unscripted boxes answer OK, or No for questions.
    int message_box(const char* text, const char* caption, unsigned flags) override;
    void set_status_text(const char* text) override { status_texts.emplace_back(text); }
    void set_progress(int percent) override { progress_positions.push_back(percent); }
    void set_caption(const char* text) override { captions.emplace_back(text); }
    void set_wait_cursor() override { ++wait_cursor_calls; }
    void set_arrow_cursor() override { ++arrow_cursor_calls; }
    bool open_file_dialog(platform::OpenFileRequest& request) override;
    void destroy_main_window() override { ++destroy_calls; }
    platform::WindowEvent next_event() override;
    // Idle waits pass time on the fake clock, as a real one would. They
    // return at once while an event is queued, and wake at the modem's next
    // arrival when asked to watch its descriptor (serial_fd equal to the
    // modem's poll_fd, see FakeModem::fake_poll_fd).
    void idle_wait(int serial_fd, uint32_t max_ms) override;
    FakeClock* clock = nullptr;
    int idle_wait_calls = 0;
    std::vector<int> idle_serial_fds;         // serial_fd of each idle wait
    FakeModem* modem = nullptr;               // set by Doubles

    const Box* find_box(const std::string& caption) const;
};

// One piece of a scripted reply: its text and when it arrives, counted in
// milliseconds from the write that triggered it.
struct Piece {
    std::string text;
    uint32_t delay_ms = 0;
};

// A modem on the other end of the serial device. Rules answer writes: the
// first rule whose command equals the bytes written (or that matches any
// write, command empty) queues its reply pieces. A rule may fire a limited
// number of times. Unmatched writes go unanswered.
class FakeModem : public platform::SerialDevice {
public:
    explicit FakeModem(FakeClock& clock) : clock_(clock) {}

    // Answer `command` with `reply`, every time (uses < 0) or `uses` times.
    void on(const std::string& command, std::vector<Piece> reply, int uses = -1);
    void on(const std::string& command, const std::string& reply, int uses = -1);
    // Called for every write with the bytes written; may call feed().
    std::function<void(const std::string&)> on_write;
    // Make text arrive delay_ms from now.
    void feed(const std::string& text, uint32_t delay_ms = 0);

    // What the program did.
    std::vector<std::string> writes;          // each write, as written
    std::string immediate_chars;              // transmit_char characters
    std::vector<std::string> opened_names;
    int open_calls = 0;
    int close_calls = 0;
    int read_calls = 0;
    bool is_open = false;
    platform::LineSettings applied{};         // last set_settings
    std::string all_written() const;

    // Faults.
    bool fail_open = false;
    std::vector<std::string> absent_ports;    // names whose open fails
    bool fail_get_settings = false;
    bool fail_set_settings = false;
    uint32_t set_settings_error = 87;
    int fail_writes = 0;                      // the next n writes fail
    bool fail_reads = false;
    uint32_t pending_error_flags = 0;         // reported by the next clear_errors
    platform::LineSettings initial{19200, 8, 0, 0};

    bool open(const char* com_name) override;
    bool get_settings(platform::LineSettings& settings) override;
    bool set_settings(const platform::LineSettings& settings) override;
    uint32_t last_error() override { return set_settings_error; }
    bool clear_errors(uint32_t& flags, uint32_t& bytes_waiting) override;
    bool read(void* dest, uint32_t count, uint32_t& got) override;
    bool write(const void* data, uint32_t count) override;
    void clear_break() override { ++clear_break_calls; }
    void transmit_char(char ch) override
    {
        immediate_chars.push_back(ch);
        if (on_transmit_char)
            on_transmit_char(ch);
    }
    // Called for every character sent ahead of the output; may call feed().
    std::function<void(char)> on_transmit_char;
    void close() override;
    void wait_readable(uint32_t max_ms) override;
    // The descriptor reported by poll_fd; -1 (none) unless a test sets it.
    int fake_poll_fd = -1;
    int poll_fd() const override { return fake_poll_fd; }

    int clear_break_calls = 0;

private:
    struct Arrival {
        uint32_t at;
        std::string text;
    };
    struct Rule {
        std::string command;
        std::vector<Piece> reply;
        int uses;
    };
    uint32_t waiting_now();
    FakeClock& clock_;
    std::vector<Rule> rules_;
    std::deque<Arrival> arrivals_;  // in order of arrival time
};

// Installs the doubles as the platform services and resets the job record;
// restores nothing else, so each test builds a fresh one.
struct Doubles {
    FakeClock clock;
    CapturedDebug debug;
    ScriptedWindow window;
    FakeModem modem{clock};
    Doubles();
    ~Doubles();
};

}  // namespace fakes
