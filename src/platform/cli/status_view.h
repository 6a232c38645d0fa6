// The status lines and the progress bar on a terminal: redrawn in place on an
// interactive terminal, printed as plain lines (each only when it changes)
// anywhere else.
#pragma once

#include "platform/posix/terminal_text.h"

#include <cstdio>
#include <string>

class StatusView {
public:
    StatusView(std::FILE* out, bool redraw_in_place) : out_(out), redraw_(redraw_in_place) {}

    // The two status lines, joined by a line feed.
    void show_text(const char* text);
    void show_progress(int percent);
    void show_caption(const char* caption);
    // Leaves the live block where it stands so other output can follow it;
    // the next change draws a fresh block below.
    void release();

private:
    void draw();
    int width() const;

    std::FILE* out_;
    bool redraw_;
    std::string lines_[2];
    std::string printed_[2];
    std::string caption_;
    int percent_ = 0;
    int printed_percent_ = 0;
    bool block_on_screen_ = false;
};
