#include "flash/line_reader.h"

#include "platform/text_file.h"

int read_text_line(TextFile* file, char* dest, int max_chars, LineEnds ends, int* length)
{
    int count = 0;
    int end = LINE_END_MARK;
    for (;;) {
        int ch = text_getc(file);
        if (ch == TEXT_EOF)
            break;
        if (ch == '\n' || (ch == '\r' && ends == LINE_ENDS_LF_OR_CR)) {
            end = ch;
            break;
        }
        if (count == max_chars) {
            end = LINE_TOO_LONG;
            break;
        }
        if (dest)
            dest[count] = static_cast<char>(ch);
        ++count;
    }
    *length = count;
    return end;
}
