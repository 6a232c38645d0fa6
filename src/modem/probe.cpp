#include "modem/probe.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/main_window.h"
#include "modem/load_compat.h"
#include "modem/modem_types.h"
#include "modem/reply_text.h"
#include "platform/platform.h"
#include "serial/reply_wait.h"
#include "serial/serial_port.h"

#include <cstring>

namespace {

// Writes an AT command and waits for "OK" for up to limit_s seconds. A failed
// write is logged and the wait decides all the same.
bool command_acknowledged(const char* command, int limit_s)
{
    if (port_write(command, static_cast<int>(std::strlen(command))) != 0)
        log_line("COMM ERROR");
    return wait_reply("OK", limit_s, 1) == WAIT_MATCHED;
}

bool settled_command_acknowledged(const char* command, int limit_s)
{
    port_settle();
    return command_acknowledged(command, limit_s);
}

int give_up_port(const char* reason)
{
    port_close();
    if (reason)
        log_line(reason);
    return PROBE_NEXT_PORT;
}

// The modem already runs its resident loader: start it if the loads fit.
int probe_running_loader()
{
    log_line("WE ARE IN RRFL");
    read_resident_load(RESLOAD_RRFL);
    if (!ldsAreCompat()) {
        build_incompat_report(1);
        main_window_message_box(job.msg_buf, "INCOMPATIBLE LOAD", platform::mb::ICON_EXCLAMATION);
        return PROBE_ABANDON;
    }
    if (!command_acknowledged("AT&&FGO\r", 1))
        return give_up_port(nullptr);
    return PROBE_RRFL_RUNNING;
}

// Asks whether the whole flash may be erased, showing why the loads differ.
int ask_full_erase()
{
    build_incompat_report(0);
    log_line("MUST USE FULL ERASE - LOADS ARE INCOMPAT");
    format_text(job.str_out1, "Found (%s) Modem on COM%d.", modem_type_name(job.modem_type), job.com_port);
    copy_text(job.str_out2, job.msg_buf);
    refresh_display();
    int answer = main_window_message_box("Do you wish to Erase the Entire Flash", "MUST USE FULL ERASE !!!",
                                         platform::mb::YESNO | platform::mb::ICON_EXCLAMATION |
                                             platform::mb::DEFBUTTON2);
    return answer == platform::mb::ANSWER_YES ? PROBE_FULL_LOAD : PROBE_ABANDON;
}

// The modem is not in its resident loader: ask what it holds.
int probe_held_loader()
{
    if (!command_acknowledged("AT&&FFL\r", 1)) {
        port_settle();
        return PROBE_FULL_LOAD;  // no resident loader to speak of
    }
    read_resident_load(RESLOAD_FFL);
    if (ldsAreCompat())
        return PROBE_ENTER_RRFL;
    return ask_full_erase();
}

}  // namespace

int probe_modem()
{
    if (port_open_device(job.com_port) != 0)
        return PROBE_NEXT_PORT;
    if (port_configure(job.com_port) != 0)
        return PROBE_NEXT_PORT;  // the port is closed already
    set_wait_cursor();

    // Wake-up commands: their answers are never examined.
    settled_command_acknowledged("AAAAT\r", 2);
    settled_command_acknowledged("AT\r", 1);
    settled_command_acknowledged("AAAAT\r", 1);
    if (!settled_command_acknowledged("AT&&F\r", 1))
        return give_up_port("Not a Tervan Flashable modem!");
    if (!settled_command_acknowledged("ATI5\r", 1))
        return give_up_port("Where's the ATI5???");

    if (!identify_modem())
        return PROBE_ABANDON;
    if (reply_text().find("RRFL") != std::string_view::npos)
        return probe_running_loader();
    return probe_held_loader();
}
