#include "flash/loader_download.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/main_window.h"
#include "flash/line_reader.h"
#include "flash/overlong_line.h"
#include "flash/progress_percent.h"
#include "platform/text_file.h"
#include "serial/reply_wait.h"
#include "serial/serial_port.h"

#include <cstring>

namespace {

// Every loader record travels behind this command prefix.
constexpr char LOADER_PREFIX[] = "at&&f";
constexpr int PREFIX_LEN = sizeof LOADER_PREFIX - 1;
constexpr int ACK_TIMEOUT_S = 3;
constexpr int REFRESH_EVERY_LINES = 16;

void close_loader_file()
{
    text_close(job.cur_file);
    job.cur_file = nullptr;
}

void show_download_status()
{
    copy_text(job.str_out1, "Downloading flashldr.hex.");
    format_text(job.str_out2, "<%d%%>  Complete.", progress_percent());
    refresh_display();
}

// Sends the framed record and waits for its "OK". False on a time-out, after
// ST_NOT_RESPONDING has been stored.
bool send_record()
{
    if (port_write(job.line_buf, job.line_len + 1) != 0) {
        format_text(job.msg_buf, "Com Error= %lX ", 0L);
        log_line(job.msg_buf);
    }
    if (wait_reply("OK", ACK_TIMEOUT_S, 1) == WAIT_TIMEOUT) {
        log_line("flash_download_loader: Timed out");
        format_text(job.msg_buf, "#lines loaded = %d ", job.lines_sent);
        log_line(job.msg_buf);
        log_line("FLASH: Flash loader code download failed");
        job.job_state = ST_NOT_RESPONDING;
        return false;
    }
    port_settle();
    job.progress_done += job.line_len - PREFIX_LEN;
    return true;
}

}  // namespace

int flash_download_loader()
{
    port_settle();
    std::memcpy(job.line_buf, LOADER_PREFIX, PREFIX_LEN);
    int record_len = 0;
    int end = read_text_line(job.cur_file, job.line_buf + PREFIX_LEN, LOADER_LINE_MAX_CHARS, LINE_ENDS_LF,
                             &record_len);
    ++job.lines_sent;
    if (end == LINE_TOO_LONG) {
        // Never send part of a record as if it were whole.
        job.line_len = 0;
        report_overlong_line(LOADER_FILE_NAME, job.lines_sent, LOADER_LINE_MAX_CHARS);
        close_loader_file();
        job.job_state = ST_TEARDOWN;
        return 0;
    }
    job.line_len = PREFIX_LEN + record_len;
    job.line_buf[job.line_len] = '\r';
    job.line_buf[job.line_len + 1] = static_cast<char>(end);

    if (job.lines_sent % REFRESH_EVERY_LINES == 0)
        show_download_status();

    if (job.line_buf[PREFIX_LEN] == ':' && !send_record())
        return 0;

    if (end == LINE_END_MARK) {
        close_loader_file();
        port_settle();
        return 1;
    }
    return 0;
}
