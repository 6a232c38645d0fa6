#include "modem/modem_types.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/main_window.h"
#include "modem/reply_text.h"
#include "platform/platform.h"
#include "serial/serial_port.h"

#include <cctype>
#include <string>

namespace {

struct ModemTypeEntry {
    int code;
    char letter;  // upper case; the modem may answer in either case
    const char* name;
};

constexpr ModemTypeEntry MODEM_TYPES[] = {
    {MT_CENTRAL_SITE, 'C', "Central Site"},
    {MT_ISA, 'I', "ISA"},
    {MT_SERIAL, 'S', "Serial"},
    {MT_USB, 'U', "USB"},
    {MT_PC_CARD, 'P', "PC Card"},
};

constexpr char UNKNOWN_NAME[] = "unknown type";

// Where the answer starts behind the echo "ATI5\r" and a two-character line end.
constexpr int ANSWER_POS = 7;
constexpr int SCAN_LIMIT = 16;

int type_of_letter(char ch)
{
    for (const ModemTypeEntry& entry : MODEM_TYPES)
        if (ch == entry.letter || ch == std::tolower(static_cast<unsigned char>(entry.letter)))
            return entry.code;
    return MT_UNKNOWN;
}

// A character's code as a signed 8-bit value widened to 32 bits, for "%x".
unsigned signed_code(char ch)
{
    return static_cast<unsigned>(static_cast<int>(static_cast<signed char>(ch)));
}

bool is_echo_at(int i)
{
    char a = reply_char(i), t = reply_char(i + 1), n = reply_char(i + 2);
    return (a == 'a' || a == 'A') && (t == 't' || t == 'T') && (n == 'i' || n == 'I') && reply_char(i + 3) == '5';
}

// One pass over the first positions, past echoed commands and line ends, to
// the first other character. MT_UNKNOWN when that names no type or none is found.
int scan_for_candidate()
{
    int i = 0;
    while (i < SCAN_LIMIT) {
        if (is_echo_at(i)) {
            i += 4;
            continue;
        }
        char ch = reply_char(i);
        if (ch == '\r' || ch == '\n') {
            ++i;
            continue;
        }
        char line[48];
        format_text(line, "Got ActMod Candidate [%x] try again", signed_code(ch));
        log_line(line);
        return type_of_letter(ch);
    }
    return MT_UNKNOWN;
}

void dump_reply()
{
    for (int i = 0; i < SCAN_LIMIT; ++i) {
        char line[16];
        format_text(line, "%x", signed_code(reply_char(i)));
        log_line(line);
    }
    log_line(std::string(reply_text()).c_str());
}

// Quotes the reply and asks whether to use the modem all the same.
int ask_about_mismatch()
{
    std::string_view reply = reply_text();
    std::string_view answer = reply.size() > ANSWER_POS ? reply.substr(ANSWER_POS) : std::string_view{};
    format_text(job.str_out2, "ATI5 on COM%d gives %.*s", job.com_port, static_cast<int>(answer.size()), answer.data());
    refresh_display();

    format_text(job.msg_buf, "INCOMPATIBLE : File=%s;  Modem=%s", modem_type_name(job.image_type),
                modem_type_name(job.modem_type));
    int answer_code = main_window_message_box("Do You wish to use it ?", job.msg_buf,
                                              platform::mb::YESNO | platform::mb::DEFBUTTON2);
    if (answer_code != platform::mb::ANSWER_YES)
        return 0;
    job.types_match = 0;
    return 1;
}

}  // namespace

const char* modem_type_name(int type)
{
    for (const ModemTypeEntry& entry : MODEM_TYPES)
        if (entry.code == type)
            return entry.name;
    return UNKNOWN_NAME;
}

int identify_modem()
{
    job.modem_type = type_of_letter(reply_char(ANSWER_POS));
    if (job.modem_type == MT_UNKNOWN)
        job.modem_type = scan_for_candidate();
    if (job.modem_type == MT_UNKNOWN) {
        log_line("Actual Modem type is Unknown!!!");
        dump_reply();
    }
    port_settle();

    if (job.image_type != MT_UNKNOWN && job.modem_type != MT_UNKNOWN && job.image_type == job.modem_type) {
        job.types_match = 1;
        return 1;
    }
    return ask_about_mismatch();
}
