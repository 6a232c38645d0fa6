#include "platform/posix/terminal_text.h"

namespace {

// Length of the well-formed UTF-8 sequence at p (2 to 4 bytes) and its code
// point, or 0 when the bytes there are not one.
int utf8_sequence(const unsigned char* p, unsigned& code)
{
    int length = 0;
    if (p[0] >= 0xC2 && p[0] <= 0xDF)
        length = 2;
    else if (p[0] >= 0xE0 && p[0] <= 0xEF)
        length = 3;
    else if (p[0] >= 0xF0 && p[0] <= 0xF4)
        length = 4;
    else
        return 0;
    code = p[0] & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)  // also stops at the terminating NUL
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    static constexpr unsigned LOWEST[5] = {0, 0, 0x80, 0x800, 0x10000};
    bool valid = code >= LOWEST[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    return valid ? length : 0;
}

}  // namespace

std::string printable(const char* text, bool keep_line_feeds)
{
    std::string shown;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        if (*p < 0x80) {
            bool control = *p < 0x20 || *p == 0x7F;
            shown.push_back(control && !(keep_line_feeds && *p == '\n') ? '.' : static_cast<char>(*p));
            ++p;
            continue;
        }
        unsigned code = 0;
        int length = utf8_sequence(p, code);
        if (length == 0) {  // a stray byte
            shown.push_back('.');
            ++p;
            continue;
        }
        if (code < 0xA0)  // a C1 control such as CSI
            shown.push_back('.');
        else
            shown.append(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
        p += length;
    }
    return shown;
}
