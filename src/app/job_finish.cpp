// ST_NOT_RESPONDING, ST_FLASH_ERROR, ST_DONE, ST_TEARDOWN and ST_EXIT: the
// report of how the job ended, the release of the modem and the port, and
// the end of the program.
#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/job_states.h"
#include "app/job_step.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "serial/serial_port.h"

namespace {

void report_failure(const char* text, const char* caption)
{
    main_window_message_box(text, caption, platform::mb::ICON_EXCLAMATION);
    log_line("FLASH: Flash Open Comm Failed");
    job.job_state = ST_TEARDOWN;
}

}  // namespace

bool job_succeeded()
{
    return job.job_succeeded != 0;
}

void step_not_responding()
{
    report_failure("Modem is not responding", "Error...");
}

void step_flash_error()
{
    // str_out1 holds the reason, as the error handling left it.
    report_failure(job.str_out1, "Flash Error");
}

void step_done()
{
    job.job_succeeded = 1;
    copy_text(job.str_out1, "Programming Successfully Completed.");
    job.progress_done = job.progress_total;

    // Unsigned arithmetic: a wrap of the tick counter does no harm.
    uint32_t seconds = (platform::tick_ms() - job.start_tick) / 1000u;
    uint32_t minutes = seconds / 60u;
    uint32_t rest = seconds - minutes * 60u;
    format_text(job.str_out2, "Time Elapsed %1d Min %2d Sec.", static_cast<int>(minutes), static_cast<int>(rest));
    refresh_display();

    port_settle();
    set_arrow_cursor();
    main_window_message_box("Flash Programming Completed", "    All Done...", platform::mb::OK);
    text_close(job.cur_file);
    job.cur_file = nullptr;
    job.job_state = ST_TEARDOWN;
}

void step_teardown()
{
    log_line("FLASH: Flash Destroy Window");
    log_line(job.rx_buf);
    port_send_immediate('Y');  // sends nothing when no port is open
    if (job.port_open)
        port_close();
    job.job_state = ST_EXIT;
}

void step_exit()
{
    log_line("FLASH: NULL");
    destroy_main_window();
}
