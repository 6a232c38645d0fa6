#include "flash/overlong_line.h"

#include "app/bounded_text.h"
#include "app/main_window.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "serial/serial_port.h"

#include <cstring>

int find_overlong_line(const char* path, int max_chars, LineEnds ends, int* line_number)
{
    TextFile* file = text_open(path);
    if (!file)
        return -1;
    int found = 0;
    for (int number = 1;; ++number) {
        int length = 0;
        int end = read_text_line(file, nullptr, max_chars, ends, &length);
        if (end == LINE_TOO_LONG) {
            *line_number = number;
            found = 1;
            break;
        }
        if (end == LINE_END_MARK)
            break;
    }
    text_close(file);
    return found;
}

void report_overlong_line(const char* path, int line_number, int max_chars)
{
    format_text(job.msg_buf, "Line %d of %s is too long for the modem (more than %d characters).", line_number,
                file_base_name(path), max_chars);
    log_line(job.msg_buf);
    main_window_message_box(job.msg_buf, "Line Too Long", platform::mb::ICON_EXCLAMATION);
}
