// ST_OPEN_LOADER, ST_DOWNLOAD_LOADER and ST_CHECK_RRFL_VERSION: the modem's
// flash loader is downloaded from the loader file or the resident one is
// used, and its version is checked.
#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/job_states.h"
#include "app/job_step.h"
#include "app/main_window.h"
#include "flash/loader_download.h"
#include "flash/overlong_line.h"
#include "modem/modem_types.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "serial/serial_port.h"

#include <climits>
#include <cstring>

namespace {

constexpr char LOADER_VERSION[] = "Ver:4.4";
constexpr char OLD_RESIDENT_VERSION[] = "Ver:4.3";

void show_found_modem()
{
    format_text(job.str_out1, "Found (%s) Modem on COM%d.", modem_type_name(job.modem_type), job.com_port);
}

void refuse_version(const char* format)
{
    format_text(job.msg_buf, format, LOADER_VERSION);
    main_window_message_box(job.msg_buf, "Exit...", platform::mb::ICON_EXCLAMATION);
    job.job_state = ST_TEARDOWN;
}

bool loader_lines_fit()
{
    int line_number = 0;
    if (find_overlong_line(LOADER_FILE_NAME, LOADER_LINE_MAX_CHARS, LINE_ENDS_LF, &line_number) != 1)
        return true;
    report_overlong_line(LOADER_FILE_NAME, line_number, LOADER_LINE_MAX_CHARS);
    return false;
}

}  // namespace

void take_progress_total_from(const char* path)
{
    long size = 0;
    if (file_size_of(path, size))
        job.progress_total = size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

void step_open_loader()
{
    take_progress_total_from(LOADER_FILE_NAME);
    if (!loader_lines_fit()) {
        job.job_state = ST_TEARDOWN;
        return;
    }
    job.cur_file = text_open(LOADER_FILE_NAME);
    if (!job.cur_file) {
        main_window_message_box("Flash file open failed - flashldr.hex", "ERROR", platform::mb::ICON_EXCLAMATION);
        job.job_state = ST_TEARDOWN;
        return;
    }
    show_found_modem();
    copy_text(job.str_out2, "Downloading flashldr.hex, please wait.");
    job.progress_done = 0;
    job.lines_sent = 0;
    refresh_display();
    job.job_state = ST_DOWNLOAD_LOADER;
}

void step_download_loader()
{
    if (!flash_download_loader())
        return;
    log_line("FLASH: Flash loader code download success");
    if (!std::strstr(job.rx_buf, LOADER_VERSION)) {
        refuse_version("Version mismatch (%s) with flashldr.hex");
        return;
    }
    copy_text(job.str_out1, "Erasing the Flash Chip.");
    copy_text(job.str_out2, "Please be Patient...");
    job.progress_done = 0;
    refresh_display();
    job.job_state = ST_OPEN_IMAGE;
}

void step_check_rrfl_version()
{
    // A resident loader of the previous version is good enough on every
    // modem type but USB.
    bool accepted = std::strstr(job.rx_buf, LOADER_VERSION) ||
                    (std::strstr(job.rx_buf, OLD_RESIDENT_VERSION) && job.modem_type != MT_USB);
    if (!accepted) {
        refuse_version("Version mismatch (%s) with RRFL");
        return;
    }
    show_found_modem();
    copy_text(job.str_out2, "Erasing: Please be Patient...");
    refresh_display();
    job.job_state = ST_OPEN_IMAGE;
}
