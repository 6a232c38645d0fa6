#include "modem/image_header.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/main_window.h"
#include "modem/modem_types.h"
#include "platform/platform.h"
#include "platform/text_file.h"

namespace {

// The header is read from the first record by fixed positions.
constexpr int HEADER_CHARS = 75;
constexpr int CHECKSUM_LOW_POS = 65;   // data byte 28
constexpr int CHECKSUM_HIGH_POS = 67;  // data byte 29
constexpr int TYPE_POS = 69;           // data byte 30
constexpr int SECTOR_POS = 71;         // data byte 31
constexpr char NO_RRFL_MARK = 'F';

// The type byte's two hex characters read as a decimal number: the letter
// codes 0x43, 0x49, 0x53, 0x55 and 0x50 are all made of decimal digits.
struct HeaderTypeCode {
    int code;
    int type;
};
constexpr HeaderTypeCode HEADER_TYPES[] = {
    {43, MT_CENTRAL_SITE}, {49, MT_ISA}, {53, MT_SERIAL}, {55, MT_USB}, {50, MT_PC_CARD},
};

// A header character's signed 8-bit code.
int code_at(int pos)
{
    return static_cast<signed char>(job.rx_buf[pos]);
}

int header_type()
{
    int code = (code_at(TYPE_POS) - '0') * 10 + (code_at(TYPE_POS + 1) - '0');
    for (const HeaderTypeCode& entry : HEADER_TYPES)
        if (entry.code == code)
            return entry.type;
    return MT_UNKNOWN;
}

// Digits give the byte's value; letters do not get their hex values.
int header_sector()
{
    return (code_at(SECTOR_POS) - '0') * 16 + (code_at(SECTOR_POS + 1) - '0');
}

// Little-endian: the high byte's characters first, then the low byte's.
int header_checksum()
{
    const char digits[4] = {job.rx_buf[CHECKSUM_HIGH_POS], job.rx_buf[CHECKSUM_HIGH_POS + 1],
                            job.rx_buf[CHECKSUM_LOW_POS], job.rx_buf[CHECKSUM_LOW_POS + 1]};
    return hex4(digits);
}

// The first characters of the file into rx_buf; NUL where the file ends sooner.
void read_header_chars(TextFile* file)
{
    int pos = 0;
    for (; pos < HEADER_CHARS; ++pos) {
        int ch = text_getc(file);
        if (ch == TEXT_EOF)
            break;
        job.rx_buf[pos] = static_cast<char>(ch);
    }
    for (; pos <= HEADER_CHARS; ++pos)
        job.rx_buf[pos] = '\0';
}

}  // namespace

bool read_image_header()
{
    TextFile* file = text_open(job.image_path);
    if (!file) {
        main_window_message_box("File open failed ", "File Open Error...", platform::mb::ICON_EXCLAMATION);
        return false;
    }
    read_header_chars(file);

    if (job.rx_buf[TYPE_POS] == NO_RRFL_MARK) {
        job.image_type = MT_UNKNOWN;
        job.image_sector = 0;
    } else {
        job.image_type = header_type();
        job.image_sector = header_sector();
        if (job.image_sector != 0) {
            format_text(job.str_out1, "File is for %s modem, sector size 0x%02X", modem_type_name(job.image_type),
                        static_cast<unsigned>(job.image_sector));
            refresh_display();
            job.image_checksum = header_checksum();
        }
    }
    text_close(file);
    return true;
}

int hex4(const char* text)
{
    int result = 0;
    for (int k = 0; k < 4; ++k) {
        int c = static_cast<unsigned char>(text[k]);
        int digit = c;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))
            digit = (c & 0x0F) + 9;
        result = result * 16 + digit;
    }
    return result;
}
