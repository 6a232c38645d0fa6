// flashloader: the flash job in a GTK 3 window.
#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/job_step.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "platform/gtk/command_line.h"
#include "platform/gtk/dialogs.h"
#include "platform/gtk/gtk_window.h"
#include "platform/gtk/simulated_modem.h"
#include "platform/posix/open_failures.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_serial.h"

#include <cstdio>
#include <gtk/gtk.h>

// Builds with sanitizers: fontconfig keeps its font cache to the end, and
// GTK's file chooser loses a few strings of its location completion. Their
// stacks end in these libraries (built without frame pointers), so the
// suppressions name the libraries. Memory of ours comes from new and malloc
// and is still checked.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\nleak:libglib-2.0.so\n";
}

namespace {

constexpr int EXIT_JOB_FAILED = 1;
constexpr int EXIT_CANNOT_START = 2;

int cannot_start(const std::string& reason)
{
    std::fprintf(stderr, "flashloader: %s\n", reason.c_str());
    return EXIT_CANNOT_START;
}

}  // namespace

int main(int argc, char** argv)
{
    // GTK's own options (--display and the like) leave argv here, before
    // anything needs a display, so --help works without one.
    gtk_parse_args(&argc, &argv);
    CommandLine line;
    std::string error;
    if (!parse_command_line(argc, argv, line, error))
        return cannot_start(error + "\ntry flashloader --help");
    if (line.help) {
        std::fputs(usage_text(), stdout);
        return 0;
    }
    if (line.version) {
        std::puts("flashloader Ver:4.4");
        return 0;
    }
    if (!gtk_init_check(&argc, &argv))
        return cannot_start("cannot open the display");
    gtk_window_set_default_icon_name("flashloader");

    SimulatedModem simulator;
    if (line.simulate && !simulator.start(first_com_port(line.port_text), error))
        return cannot_start(error);

    platform::PosixClock clock;
    platform::StderrDebugChannel debug;
    platform::PosixSerial serial;
    GtkWindowSide window;
    platform::services() = {&clock, &debug, &serial, &window};
    window.treat_signals_as_close();

    copy_text(job.str_out1, "Flash Loader Ver:4.4");
    copy_text(job.str_out2, "Enter File Name.");
    window.show();
    refresh_display();

    start_job(line.port_text.c_str());
    run_main_loop();

    // The job's window is gone; why no port gave a modem follows in a box
    // of its own (and on standard error, for a log).
    std::string report = no_modem_report(serial.open_record());
    if (!report.empty()) {
        std::fputs(report.c_str(), stderr);
        run_message_dialog(nullptr, report.c_str(), "Why no modem was found",
                           platform::mb::OK | platform::mb::ICON_EXCLAMATION);
    }
    return job_succeeded() ? 0 : EXIT_JOB_FAILED;
}
