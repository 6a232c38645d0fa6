#include "app/main_loop.h"

#include "app/flash_job.h"
#include "app/job_step.h"
#include "app/main_window.h"
#include "platform/platform.h"
#include "platform/text_file.h"
#include "serial/serial_port.h"

namespace {

constexpr int COM_PORT_BITS = 0x0F;
constexpr int QUIT_CODE = 0;

bool window_gone = false;

void run_one_step()
{
    job_step();
    JobIdle idle = job_idle();
    if (idle.ms == 0 || window_gone)
        return;
    int serial_fd = idle.watch_serial ? platform::serial().poll_fd() : -1;
    platform::window().idle_wait(serial_fd, idle.ms);
}

}  // namespace

void start_job(const char* command_line)
{
    window_gone = false;
    job.start_tick = platform::tick_ms();
    job.job_state = ST_INIT;
    if (command_line && command_line[0] != '\0')
        job.com_port = static_cast<unsigned char>(command_line[0]) & COM_PORT_BITS;
}

int run_main_loop()
{
    while (!window_gone) {
        switch (platform::window().next_event()) {
        case platform::WindowEvent::None: run_one_step(); break;
        case platform::WindowEvent::CloseRequested: handle_close_request(); break;
        case platform::WindowEvent::Destroyed:
        case platform::WindowEvent::Quit: handle_main_window_destroyed(); break;
        case platform::WindowEvent::Other: break;
        }
    }
    return QUIT_CODE;
}

void handle_close_request()
{
    bool writing_image = job.job_state >= ST_OPEN_IMAGE && job.job_state <= ST_AWAIT_ACK;
    if (!writing_image) {
        destroy_main_window();
        return;
    }
    // Stopping now may leave the flash half written: ask, and on Yes let the
    // teardown release the modem before the window goes.
    int answer = main_window_message_box("Are you Sure you want to Kill the Flash Loader?",
                                         "You May Have Cooked the Flash Chip!", platform::mb::YESNO);
    if (answer == platform::mb::ANSWER_YES)
        job.job_state = ST_TEARDOWN;
}

void handle_main_window_destroyed()
{
    if (job.port_open)
        port_close();
    text_close(job.cur_file);
    job.cur_file = nullptr;
    window_gone = true;
}

void destroy_main_window()
{
    if (window_gone)
        return;
    platform::window().destroy_main_window();
    handle_main_window_destroyed();
}
