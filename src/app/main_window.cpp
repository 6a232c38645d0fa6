#include "app/main_window.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "platform/platform.h"

#include <cstring>

namespace {
constexpr size_t DISPLAY_LIMIT = MSG_BUF_SIZE - 1;  // 200 characters
}

void refresh_display()
{
    if (std::strlen(job.str_out1) + std::strlen(job.str_out2) >= DISPLAY_LIMIT)
        copy_text(job.msg_buf, "ERROR:  Can't handle str_out1, str_out2, too big!");
    else
        format_text(job.msg_buf, "%s\n%s", job.str_out1, job.str_out2);
    platform::window().set_status_text(job.msg_buf);

    if (job.progress_done != job.progress_shown) {
        // No size known: show 0 rather than divide by zero.
        int position = job.progress_total == 0 ? 0 : static_cast<int>(job.progress_done * 100.0 / job.progress_total);
        platform::window().set_progress(position);
        job.progress_shown = job.progress_done;
    }
}

void set_wait_cursor()
{
    platform::window().set_wait_cursor();
}

void set_arrow_cursor()
{
    platform::window().set_arrow_cursor();
}

int main_window_message_box(const char* text, const char* caption, unsigned flags)
{
    return platform::window().message_box(text, caption, flags);
}
