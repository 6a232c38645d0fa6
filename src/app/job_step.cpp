#include "app/job_step.h"

#include "app/flash_job.h"
#include "app/job_states.h"

namespace {

JobIdle idle_after_step{0, false};

}  // namespace

void request_idle(uint32_t ms, bool watch_serial)
{
    idle_after_step = {ms, watch_serial};
}

JobIdle job_idle()
{
    return idle_after_step;
}

void job_step()
{
    idle_after_step = {0, false};
    switch (job.job_state) {
    case ST_INIT: step_init(); break;
    case ST_SELECT_IMAGE: step_select_image(); break;
    case ST_PROBE_PORT: step_probe_port(); break;
    case ST_DOWNLOAD_LOADER: step_download_loader(); break;
    case ST_OPEN_LOADER: step_open_loader(); break;
    case ST_OPEN_IMAGE: step_open_image(); break;
    case ST_SEND_LINE: step_send_line(); break;
    case ST_AWAIT_ACK: step_await_ack(); break;
    case ST_NOT_RESPONDING: step_not_responding(); break;
    case ST_CHECK_RRFL_VERSION: step_check_rrfl_version(); break;
    case ST_FLASH_ERROR: step_flash_error(); break;
    case ST_DONE: step_done(); break;
    case ST_TEARDOWN: step_teardown(); break;
    case ST_EXIT: step_exit(); break;
    default: break;  // 1 and unknown codes do nothing
    }
}
