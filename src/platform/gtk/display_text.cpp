#include "platform/gtk/display_text.h"

#include <glib.h>

namespace {

bool is_control(gunichar c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0);
}

void append_char(std::string& out, gunichar c, bool keep_line_feeds)
{
    if (is_control(c) && !(keep_line_feeds && c == '\n')) {
        out.push_back('.');
        return;
    }
    char utf8[6];
    out.append(utf8, static_cast<size_t>(g_unichar_to_utf8(c, utf8)));
}

}  // namespace

std::string display_text(const char* text, bool keep_line_feeds)
{
    std::string out;
    if (!text)
        return out;
    const char* p = text;
    while (*p) {
        gunichar c = g_utf8_get_char_validated(p, -1);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            // Not UTF-8: the byte as a Latin-1 character.
            append_char(out, static_cast<unsigned char>(*p), keep_line_feeds);
            ++p;
            continue;
        }
        append_char(out, c, keep_line_feeds);
        p = g_utf8_next_char(p);
    }
    return out;
}
