// ST_OPEN_IMAGE, ST_SEND_LINE and ST_AWAIT_ACK: the image is sent line by line,
// each record acknowledged before the next line is read.
#include "app/flash_job.h"
#include "app/job_states.h"
#include "app/main_window.h"
#include "flash/image_stream.h"
#include "flash/nok_handling.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "serial/reply_wait.h"
#include "serial/serial_port.h"

#include <cstring>

namespace {

constexpr int ERASE_TIMEOUT_S = 180;  // the first answer comes after the erase
constexpr int LINE_TIMEOUT_S = 1;
constexpr int RESEND_LIMIT = 6;       // retry_count above this ends the job

void report_success()
{
    log_line("FLASH: Dnld successful");
    job.job_state = ST_DONE;
}

void on_nok()
{
    if (!handle_nok(job.rx_buf) || job.retry_count > RESEND_LIMIT)
        job.job_state = ST_FLASH_ERROR;
    // Otherwise handle_nok has chosen: a resend, a restarted erase, or (for
    // an unknown code) going on waiting.
}

void next_line()
{
    job.progress_done += job.line_len;
    if (job.image_eof) {
        report_success();
        return;
    }
    job.read_next_line = 1;
    job.job_state = ST_SEND_LINE;
}

// The modem's answers carry no line number. A line resent after a time-out
// may still get the late answer to its earlier send as well as the answer to
// the resend; taking the second one for the next line would shift every later
// answer by one line, so an error report would be charged to the wrong line
// and a line never programmed could end in success. The line is therefore
// left once its "OK" has come and no answer is owed any more, or when the
// owed answers stay away for a whole line time-out (then they were lost).
void on_ok()
{
    if (job.image_eof || job.answers_owed == 0) {
        next_line();
        return;
    }
    if (job.line_acknowledged) {
        job.answers_owed -= 1;
        log_line("FLASH: Late answer taken");
        if (job.answers_owed == 0) {
            next_line();
            return;
        }
    }
    job.line_acknowledged = 1;
    job.rx_count = 0;  // wait on for the answer still owed
}

void on_timeout()
{
    if (job.line_acknowledged) {
        log_line("FLASH: Late answer lost");
        next_line();
        return;
    }
    if (job.retry_count > RESEND_LIMIT) {
        job.job_state = ST_NOT_RESPONDING;
        return;
    }
    job.retry_count += 1;
    job.answers_owed += 1;
    job.read_next_line = 0;
    job.job_state = ST_SEND_LINE;
    log_line("FLASH: Timeout Resend");
}

// Nothing came and time remains: sleep until input may have arrived or just
// past the deadline. A full reply buffer can take no more input, so then only
// the deadline (or a window event) ends the sleep.
void idle_until_input_or_deadline()
{
    uint32_t limit_ms = static_cast<uint32_t>(job.reply_timeout_s) * 1000u;
    uint32_t elapsed = platform::tick_ms() - job.wait_start_tick;
    uint32_t remaining = elapsed < limit_ms ? limit_ms - elapsed : 0;
    request_idle(remaining + 1, job.rx_count < RX_BUF_SIZE - 1);
}

}  // namespace

void step_open_image()
{
    take_progress_total_from(job.image_path);
    job.lines_sent = 0;
    job.progress_done = 0;
    job.cur_file = text_open(job.image_path);
    if (!job.cur_file) {
        main_window_message_box("Flash file open failed ", "File Open Error...", platform::mb::ICON_EXCLAMATION);
        job.job_state = ST_TEARDOWN;
        return;
    }
    job.reply_timeout_s = ERASE_TIMEOUT_S;
    job.progress_done = 0;
    job.read_next_line = 1;
    // The stream starts at the first line again (also after a restarted
    // erase that met the end of the image): the end has not been reached.
    job.image_eof = 0;
    job.job_state = ST_SEND_LINE;
}

void step_send_line()
{
    if (!send_image_line(job.read_next_line))
        return;  // no colon: the next line follows; failed writes: teardown
    job.rx_count = 0;
    job.wait_start_tick = platform::tick_ms();
    job.job_state = ST_AWAIT_ACK;
}

void step_await_ack()
{
    // The lone carriage return of an empty final read, or a last line without
    // a colon, gets no answer from the modem: the image has been sent.
    // A record read together with the end of the file is awaited like any
    // other, so a NOK or silence on it is never reported as success.
    if (job.image_eof && job.line_buf[0] != ':') {
        report_success();
        return;
    }

    int result = wait_reply("OK", job.reply_timeout_s, 0);
    if (result == WAIT_PENDING) {
        idle_until_input_or_deadline();
        return;
    }
    if (job.reply_timeout_s != LINE_TIMEOUT_S) {
        job.reply_timeout_s = LINE_TIMEOUT_S;
        set_arrow_cursor();
    }
    job.wait_start_tick = platform::tick_ms();

    if (result == WAIT_MATCHED && std::strstr(job.rx_buf, "NOK"))
        on_nok();
    else if (result == WAIT_MATCHED)
        on_ok();
    else
        on_timeout();
}
