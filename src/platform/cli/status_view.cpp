#include "platform/cli/status_view.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int BAR_WIDTH = 40;
constexpr int PLAIN_PROGRESS_STEP = 10;  // plain output reports every 10 %
constexpr int DEFAULT_WIDTH = 80;

std::string bar(int percent)
{
    int filled = percent * BAR_WIDTH / 100;
    char tail[16];
    std::snprintf(tail, sizeof tail, "] %3d%%", percent);
    return "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(BAR_WIDTH - filled), '.') +
           tail;
}

}  // namespace

int StatusView::width() const
{
    winsize size{};
    if (ioctl(fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col;
    return DEFAULT_WIDTH;
}

void StatusView::show_text(const char* text)
{
    std::string shown = printable(text, true);
    size_t split = shown.find('\n');
    lines_[0] = shown.substr(0, split);
    lines_[1] = split == std::string::npos ? "" : printable(shown.substr(split + 1).c_str(), false);
    draw();
}

void StatusView::show_progress(int percent)
{
    percent_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    draw();
}

void StatusView::show_caption(const char* caption)
{
    // The core may set the same caption again; a title is printed once.
    std::string shown = printable(caption, false);
    if (shown == caption_)
        return;
    caption_ = shown;
    release();
    std::fprintf(out_, "%s\n", shown.c_str());
    std::fflush(out_);
}

void StatusView::release()
{
    block_on_screen_ = false;
}

void StatusView::draw()
{
    if (!redraw_) {
        for (int i = 0; i < 2; ++i)
            if (lines_[i] != printed_[i] && !lines_[i].empty())
                std::fprintf(out_, "%s\n", lines_[i].c_str());
        printed_[0] = lines_[0];
        printed_[1] = lines_[1];
        if (percent_ / PLAIN_PROGRESS_STEP != printed_percent_ / PLAIN_PROGRESS_STEP) {
            std::fprintf(out_, "Progress %d%%\n", percent_);
            printed_percent_ = percent_;
        }
        std::fflush(out_);
        return;
    }
    // Lines are cut to the terminal's width: a wrapped line would throw the
    // cursor-up count off.
    size_t room = static_cast<size_t>(width() - 1);
    if (block_on_screen_)
        std::fputs("\x1b[3A", out_);
    std::string rows[3] = {lines_[0], lines_[1], bar(percent_)};
    for (std::string& row : rows)
        std::fprintf(out_, "\r\x1b[2K%s\n", row.substr(0, room).c_str());
    block_on_screen_ = true;
    std::fflush(out_);
}
