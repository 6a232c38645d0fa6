#include "flash/image_content.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/main_window.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "serial/serial_port.h"

namespace {


bool is_text_byte(int c)
{
    return c == '\n' || c == '\r' || c == '\t' || (c >= 0x20 && c < 0x7F);
}

}  // namespace

int check_image_content(const char* path, int* line_number, int* bad_byte)
{
    TextFile* file = text_open(path);
    if (!file)
        return IMAGE_UNREADABLE;
    int result = IMAGE_NO_RECORD;
    int line = 1;
    bool line_start = true;
    for (int c = text_getc(file); c != TEXT_EOF; c = text_getc(file)) {
        if (!is_text_byte(c)) {
            *line_number = line;
            *bad_byte = c;
            result = IMAGE_NOT_TEXT;
            break;
        }
        if (line_start && c == ':')
            result = IMAGE_CONTENT_OK;
        line_start = c == '\n' || c == '\r';
        if (c == '\n')
            ++line;
    }
    text_close(file);
    return result;
}

void report_bad_image(const char* path, int content, int line_number, int bad_byte)
{
    if (content == IMAGE_NOT_TEXT)
        format_text(job.msg_buf, "%s is not an Intel HEX text file (byte 0x%02X in line %d).", file_base_name(path),
                    bad_byte & 0xFF, line_number);
    else if (content == IMAGE_NO_RECORD)
        format_text(job.msg_buf, "%s holds no Intel HEX record.", file_base_name(path));
    else
        format_text(job.msg_buf, "%s cannot be read.", file_base_name(path));
    log_line(job.msg_buf);
    main_window_message_box(job.msg_buf, "Bad Image File", platform::mb::ICON_EXCLAMATION);
}
