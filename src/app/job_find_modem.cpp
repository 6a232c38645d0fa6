// ST_INIT, ST_SELECT_IMAGE and ST_PROBE_PORT: from the start to a modem whose
// flash loader can be started.
#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/image_select.h"
#include "app/job_states.h"
#include "app/main_window.h"
#include "flash/image_content.h"
#include "flash/overlong_line.h"
#include "modem/image_header.h"
#include "modem/probe.h"
#include "serial/reply_wait.h"
#include "serial/serial_port.h"

namespace {

constexpr int DEFAULT_COM_PORT = 4;
constexpr char START_RRFL_COMMAND[] = "AT&&FGO\r";
constexpr int START_RRFL_WAIT_S = 1;

// An image with a line that does not fit line_buf is refused before any port
// is probed, so nothing is erased for an image that could not be sent whole.
bool image_lines_fit()
{
    int line_number = 0;
    if (find_overlong_line(job.image_path, IMAGE_LINE_MAX_CHARS, LINE_ENDS_LF_OR_CR, &line_number) != 1)
        return true;
    report_overlong_line(job.image_path, line_number, IMAGE_LINE_MAX_CHARS);
    return false;
}

// An empty or binary file is refused before any port is probed: the job
// would erase the flash and then find nothing to program.
bool image_is_hex_text()
{
    int line_number = 0;
    int bad_byte = 0;
    int content = check_image_content(job.image_path, &line_number, &bad_byte);
    if (content == IMAGE_CONTENT_OK)
        return true;
    report_bad_image(job.image_path, content, line_number, bad_byte);
    return false;
}

void start_resident_loader()
{
    log_line("FLASH: entering RRFL");
    if (port_write(START_RRFL_COMMAND, sizeof START_RRFL_COMMAND - 1) != 0)
        log_line("COMM ERROR");
    if (wait_reply("OK", START_RRFL_WAIT_S, 1) == WAIT_MATCHED)
        job.job_state = ST_CHECK_RRFL_VERSION;
    else
        job.job_state = ST_NOT_RESPONDING;
}

}  // namespace

void step_init()
{
    job.image_eof = 0;
    log_line("FLASH: Flash init state");
    if (job.com_port == 0)
        job.com_port = DEFAULT_COM_PORT;
    job.job_state = ST_SELECT_IMAGE;
}

void step_select_image()
{
    if (!choose_image_file()) {
        job.job_state = ST_TEARDOWN;
        return;
    }
    job.job_state = ST_PROBE_PORT;
    if (!read_image_header() || !image_lines_fit() || !image_is_hex_text())
        job.job_state = ST_TEARDOWN;
    job.rx_buf[0] = '\0';
}

void step_probe_port()
{
    format_text(job.msg_buf, "Trying Comm %d ", job.com_port);
    log_line(job.msg_buf);
    copy_text(job.str_out2, job.msg_buf);
    refresh_display();

    job.probe_result = probe_modem();
    switch (job.probe_result) {
    case PROBE_FULL_LOAD:
        job.job_state = ST_OPEN_LOADER;
        format_text(job.msg_buf, "Flash Open Comm Success on Com%d ", job.com_port);
        log_line(job.msg_buf);
        break;
    case PROBE_ABANDON:
        job.job_state = ST_EXIT;  // no teardown: nothing was started on the modem
        break;
    case PROBE_RRFL_RUNNING:
        job.job_state = ST_CHECK_RRFL_VERSION;
        break;
    case PROBE_ENTER_RRFL:
        start_resident_loader();
        break;
    case PROBE_NEXT_PORT:
        job.com_port -= 1;
        if (job.com_port == 0)
            job.job_state = ST_NOT_RESPONDING;
        break;
    default:
        break;
    }
}
