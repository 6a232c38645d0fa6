#include "flash/nok_handling.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/main_window.h"
#include "modem/modem_types.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "serial/reply_wait.h"
#include "serial/serial_port.h"

#include <cstring>

namespace {

constexpr int VERSION_WAIT_S = 3;
constexpr int ERASE_TIMEOUT_S = 180;
// Above the resend limit, so the job ends through its error report.
constexpr int ABANDON_RETRY_COUNT = 7;

int request_resend(const char* status)
{
    ++job.retry_count;
    job.read_next_line = 0;
    job.job_state = ST_SEND_LINE;
    copy_text(job.str_out1, status);
    return 1;
}

// The restarted loader must be the downloadable version, or the resident
// one on every modem type but USB.
bool restart_version_accepted()
{
    if (std::strstr(job.rx_buf, "Ver:4.4"))
        return true;
    return std::strstr(job.rx_buf, "Ver:4.3") && job.modem_type != MT_USB;
}

}  // namespace

int handle_nok(const char* reply)
{
    log_line("FLASH: Got a NOK");
    if (std::strstr(reply, "NOK1")) {
        log_line("FLASH: Failure to Erase");
        return offer_restart("Chip Failed to Erase Properly\nWould you like to Retry.");
    }
    if (std::strstr(reply, "NOK2")) {
        log_line("FLASH: Failure to find COLON");
        return request_resend("Modem could not fine COLON.");
    }
    if (std::strstr(reply, "NOK3")) {
        log_line("FLASH: Checksum Failure");
        return request_resend("Modem reports solid Checksum Failure.");
    }
    if (std::strstr(reply, "NOK4")) {
        log_line("FLASH: Failure to program a byte");
        return offer_restart("Chip Failed to Program Properly\nWould you like to Retry.");
    }
    return 1;
}

int offer_restart(const char* question)
{
    int answer = main_window_message_box(question, "You May Have Cooked the Flash Chip!", platform::mb::YESNO);
    if (answer == platform::mb::ANSWER_YES) {
        log_line("FLASH: Sending Z");
        port_send_immediate('Z');
        port_settle();
        wait_reply("OK", VERSION_WAIT_S, 1);
        if (restart_version_accepted()) {
            copy_text(job.str_out1, "Erasing the Flash Chip.");
            copy_text(job.str_out2, "Please be Patient...");
            refresh_display();
            job.reply_timeout_s = ERASE_TIMEOUT_S;
            job.progress_done = 0;
            job.read_next_line = 1;
            // The stream starts over: resends of the failed line no longer count.
            job.retry_count = 0;
            text_close(job.cur_file);
            job.cur_file = nullptr;
            job.job_state = ST_OPEN_IMAGE;
            return 1;
        }
    }
    job.retry_count = ABANDON_RETRY_COUNT;
    copy_text(job.str_out1, "Abandon Chip!!");
    return 0;
}
