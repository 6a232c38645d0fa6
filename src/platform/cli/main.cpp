// flashloader-cli: the flash job at a terminal or in a script.
#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "app/job_step.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "modem/probe.h"
#include "platform/cli/cli_options.h"
#include "platform/cli/close_signal.h"
#include "platform/cli/image_file.h"
#include "platform/cli/simulation.h"
#include "platform/cli/terminal_window.h"
#include "platform/posix/open_failures.h"
#include "platform/posix/port_list.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_serial.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr char PROGRAM[] = "flashloader-cli";
constexpr char TITLE[] = "Flash Loader Ver:4.4";

int usage_error(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", PROGRAM, message.c_str(), PROGRAM);
    return EXIT_USAGE;
}

int run_job(const CliOptions& options)
{
    platform::PosixClock clock;
    platform::StderrDebugChannel debug;
    debug.enabled = options.verbose;
    platform::PosixSerial serial;

    TerminalConfig config;
    config.in_fd = STDIN_FILENO;
    config.in_is_terminal = isatty(STDIN_FILENO) == 1;
    config.out = stdout;
    // Debug lines on the same terminal would break a redrawn block.
    config.redraw_in_place = isatty(STDOUT_FILENO) == 1 && !options.verbose;
    config.answers = options.answers;
    config.image = options.image;
    config.close_fd = install_close_signals();
    TerminalWindow window(config);

    platform::services() = {&clock, &debug, &serial, &window};
    window.set_caption(TITLE);
    copy_text(job.str_out1, TITLE);
    copy_text(job.str_out2, "Enter File Name.");
    refresh_display();

    // The core takes the first port from the low four bits of the first
    // character of its command line: '1' .. '9', ':' .. '?' for 10 .. 15.
    char command_line[2] = {options.port ? static_cast<char>('0' + options.port) : '\0', '\0'};
    start_job(command_line);
    run_main_loop();
    platform::services() = {};

    // Why no port gave a modem, below the job's own final message.
    std::fflush(stdout);
    std::string report = no_modem_report(serial.open_record());
    if (!report.empty())
        std::fprintf(stderr, "%s", report.c_str());

    if (job_succeeded())
        return EXIT_FLASHED;
    bool declined = job.probe_result == PROBE_ABANDON && window.declined_probe_question();
    if (window.file_choice_cancelled() || window.closed_by_user() || declined)
        return EXIT_USER_STOPPED;
    return EXIT_FAILED;
}

}  // namespace

int main(int argc, char** argv)
{
    CliOptions options;
    std::string error;
    if (!parse_cli_options(argc, argv, options, error))
        return usage_error(error);
    if (options.help) {
        print_usage(stdout);
        return EXIT_FLASHED;
    }
    if (options.version) {
        std::printf("%s %s\n", PROGRAM, "4.4");
        return EXIT_FLASHED;
    }
    if (options.list_ports) {
        std::fputs(port_list_text("/sys", "/dev").c_str(), stdout);
        return EXIT_FLASHED;
    }
    std::signal(SIGPIPE, SIG_IGN);  // a vanished reader fails a write instead

    Simulation simulation;
    if (options.simulate) {
        if (!simulation.start(options.verbose, error)) {
            std::fprintf(stderr, "%s: %s\n", PROGRAM, error.c_str());
            return EXIT_FAILED;
        }
        options.device = simulation.device();
        options.image = simulation.image();
    }
    if (options.image.empty() && isatty(STDIN_FILENO) != 1)
        return usage_error("no IMAGE given, and no terminal to ask for one");
    if (!options.image.empty()) {
        std::string full_path;
        if (!resolve_image_name(options.image, "hex", full_path, error))
            return usage_error(error);
    }
    if (!options.device.empty()) {
        platform::map_com_port(1, options.device.c_str());
        options.port = 1;
    }

    int status = run_job(options);
    if (options.simulate && status == EXIT_FLASHED) {
        bool holds = simulation.finish();
        std::printf("Simulated modem: %s\n", holds ? "its flash holds the image." : "its flash DIFFERS from the image!");
        if (!holds)
            status = EXIT_FAILED;
    }
    std::fflush(stdout);
    return status;
}
