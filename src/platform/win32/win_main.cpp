// Entry of the Windows program: installs the Win32 backends, creates the
// main window and runs the flash job from the message loop.
#include "app/job_step.h"
#include "app/main_loop.h"
#include "platform/platform.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_main_window.h"
#include "platform/win32/win32_serial.h"
#include "platform/win32/win32_window_side.h"

#include <windows.h>

namespace {

constexpr int EXIT_JOB_FAILED = 1;
// Reply waits poll the port every millisecond; without a finer system timer
// each poll would last a whole tick (about 16 ms).
constexpr UINT TIMER_RESOLUTION_MS = 1;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show_command)
{
    static platform::Win32Clock clock;
    static platform::Win32DebugChannel debug;
    static platform::Win32Serial serial;
    static platform::Win32WindowSide window;
    platform::services() = {&clock, &debug, &serial, &window};

    if (!platform::init_instance(instance, show_command))
        return EXIT_JOB_FAILED;
    start_job(command_line);
    timeBeginPeriod(TIMER_RESOLUTION_MS);
    int quit_code = run_main_loop();
    timeEndPeriod(TIMER_RESOLUTION_MS);
    // A job that did not end in success must not look like one to a caller.
    return job_succeeded() ? quit_code : EXIT_JOB_FAILED;
}
