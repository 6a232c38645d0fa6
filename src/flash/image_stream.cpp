#include "flash/image_stream.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/main_window.h"
#include "flash/line_reader.h"
#include "flash/overlong_line.h"
#include "flash/progress_percent.h"
#include "modem/image_header.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "serial/serial_port.h"

namespace {

constexpr int REFRESH_EVERY_LINES = 64;
constexpr int REFRESH_AT_LINE = 6;  // refresh just before the 7th, 71st, ... line
constexpr int SHORTEST_ADDRESS_LINE = 10;  // up to the first data character
constexpr int WRITE_ATTEMPTS = 5;

void show_programming_status()
{
    copy_text(job.str_out1, "Programming the Flash");
    format_text(job.str_out2, "<%d%%>  Complete. Address 0x%01X%04X", progress_percent(), job.addr_high,
                job.addr_low);
    refresh_display();
}

bool byte_count_is(const char* count)
{
    return job.line_buf[1] == count[0] && job.line_buf[2] == count[1];
}

// Two-byte records carry the high address digit as their first data
// character; 32-byte records carry the low 16 bits as their load address.
void note_address(int line_chars)
{
    if (line_chars < SHORTEST_ADDRESS_LINE)
        return;
    if (byte_count_is("02"))
        job.addr_high = static_cast<uint8_t>(static_cast<unsigned char>(job.line_buf[9]) - '0');
    if (byte_count_is("20"))
        job.addr_low = static_cast<uint16_t>(hex4(job.line_buf + 3));
}

// Reads and frames the next line. False when it did not fit line_buf: then
// nothing of it is kept, the job has been ended and the image closed.
bool read_next_line()
{
    job.retry_count = 0;
    job.answers_owed = 0;
    job.line_acknowledged = 0;
    int line_number = job.lines_sent++;
    if (line_number % REFRESH_EVERY_LINES == REFRESH_AT_LINE)
        show_programming_status();

    int n = 0;
    int end = read_text_line(job.cur_file, job.line_buf, IMAGE_LINE_MAX_CHARS, LINE_ENDS_LF_OR_CR, &n);
    if (end == LINE_TOO_LONG) {
        job.line_len = 0;
        report_overlong_line(job.image_path, job.lines_sent, IMAGE_LINE_MAX_CHARS);
        text_close(job.cur_file);
        job.cur_file = nullptr;
        job.job_state = ST_TEARDOWN;
        return false;
    }
    note_address(n);
    if (end == LINE_END_MARK) {
        job.image_eof = 1;
        log_line("FLASH: Got EOF");
    }
    job.line_buf[n + 1] = static_cast<char>(end);
    job.line_buf[n] = '\r';
    job.line_len = n + 1;
    return true;
}

bool write_line()
{
    for (int attempt = 0; attempt < WRITE_ATTEMPTS; ++attempt)
        if (port_write(job.line_buf, job.line_len) == 0)
            return true;
    return false;
}

}  // namespace

int send_image_line(int read_new)
{
    if (read_new && !read_next_line())
        return 0;

    if (!write_line()) {
        format_text(job.msg_buf, "Com Error= %lX ", 0L);
        log_line(job.msg_buf);
        main_window_message_box("Failed to write line to Modem", "Solid CommError", platform::mb::ICON_EXCLAMATION);
        job.job_state = ST_TEARDOWN;
        return 0;
    }
    if (job.line_buf[0] == ':' || job.image_eof)
        return 1;
    log_line("FLASH: No colon!");
    return 0;
}
