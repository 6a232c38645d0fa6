// The window side of the terminal front end: the status display, message
// boxes as printed reports and [y/N] questions, the image file taken from the
// command line or asked for, and Ctrl-C as the window's close.
#pragma once

#include "platform/cli/status_view.h"
#include "platform/platform.h"

#include <cstdio>
#include <string>

// How questions are answered: at the terminal, or all Yes / all No.
enum class AnswerMode { Ask, Yes, No };

struct TerminalConfig {
    int in_fd = 0;               // where typed answers come from
    bool in_is_terminal = false; // questions and the file prompt need one
    std::FILE* out = stdout;
    bool redraw_in_place = false;
    AnswerMode answers = AnswerMode::Ask;
    std::string image;           // the IMAGE argument, empty when none
    int close_fd = -1;           // readable when a close request (Ctrl-C) waits
};

class TerminalWindow : public platform::WindowSide {
public:
    explicit TerminalWindow(const TerminalConfig& config) : config_(config), view_(config.out, config.redraw_in_place) {}

    int message_box(const char* text, const char* caption, unsigned flags) override;
    void set_status_text(const char* text) override { view_.show_text(text); }
    void set_progress(int percent) override { view_.show_progress(percent); }
    void set_caption(const char* text) override { view_.show_caption(text); }
    // A terminal has no cursor shape to change.
    void set_wait_cursor() override {}
    void set_arrow_cursor() override {}
    bool open_file_dialog(platform::OpenFileRequest& request) override;
    void destroy_main_window() override;
    platform::WindowEvent next_event() override;
    int event_fd() const override { return config_.close_fd; }
    void idle_wait(int serial_fd, uint32_t max_ms) override;

    // What the user did, for the exit status: cancelled the file choice,
    // answered No to a question while the modem was probed, or closed the
    // window (with Yes to the question during image writing, or outside it).
    bool file_choice_cancelled() const { return file_choice_cancelled_; }
    bool declined_probe_question() const { return declined_probe_question_; }
    bool closed_by_user() const { return closed_by_user_; }

private:
    enum class Input { Line, End, Interrupted };
    Input read_line(std::string& line);
    int ask(const char* text, const char* caption, unsigned flags, bool restart_question);
    bool take_image(const std::string& name, platform::OpenFileRequest& request);

    TerminalConfig config_;
    StatusView view_;
    std::string pending_input_;
    bool close_delivered_ = false;  // a close went to the core; its answer comes next
    bool file_choice_cancelled_ = false;
    bool declined_probe_question_ = false;
    bool closed_by_user_ = false;
    int restarts_answered_yes_ = 0;  // by --yes, which stops after a few
};
