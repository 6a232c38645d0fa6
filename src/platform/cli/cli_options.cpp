#include "platform/cli/cli_options.h"

#include <cstdlib>
#include <getopt.h>

namespace {

constexpr int MAX_PORT = 15;

enum LongOnly : int { OPT_SIMULATE = 1000, OPT_LIST_PORTS };

const option LONG_OPTIONS[] = {
    {"port", required_argument, nullptr, 'p'}, {"device", required_argument, nullptr, 'd'},
    {"yes", no_argument, nullptr, 'y'},        {"no", no_argument, nullptr, 'n'},
    {"verbose", no_argument, nullptr, 'v'},    {"simulate", no_argument, nullptr, OPT_SIMULATE},
    {"help", no_argument, nullptr, 'h'},       {"version", no_argument, nullptr, 'V'},
    {"list-ports", no_argument, nullptr, OPT_LIST_PORTS}, {nullptr, 0, nullptr, 0},
};

bool parse_port(const char* text, int& port)
{
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > MAX_PORT)
        return false;
    port = static_cast<int>(value);
    return true;
}

}  // namespace

bool parse_cli_options(int argc, char** argv, CliOptions& options, std::string& error)
{
    opterr = 0;
    optind = 0;  // getopt starts afresh on every call
    bool yes = false;
    bool no = false;
    int opt = 0;
    while ((opt = getopt_long(argc, argv, ":p:d:ynvhV", LONG_OPTIONS, nullptr)) != -1) {
        switch (opt) {
        case 'p':
            if (!parse_port(optarg, options.port)) {
                error = std::string("invalid port '") + optarg + "': give a number from 1 to 15";
                return false;
            }
            break;
        case 'd': options.device = optarg; break;
        case 'y': yes = true; break;
        case 'n': no = true; break;
        case 'v': options.verbose = true; break;
        case OPT_SIMULATE: options.simulate = true; break;
        case 'h': options.help = true; break;
        case 'V': options.version = true; break;
        case OPT_LIST_PORTS: options.list_ports = true; break;
        case ':': error = std::string("option '") + argv[optind - 1] + "' needs a value"; return false;
        default: error = std::string("unknown option '") + argv[optind - 1] + "'"; return false;
        }
    }
    if (options.help || options.version || options.list_ports)
        return true;
    if (optind < argc)
        options.image = argv[optind++];
    if (optind < argc) {
        error = std::string("only one IMAGE may be given, not also '") + argv[optind] + "'";
        return false;
    }
    if (yes && no) {
        error = "--yes and --no exclude each other";
        return false;
    }
    options.answers = yes ? AnswerMode::Yes : no ? AnswerMode::No : AnswerMode::Ask;
    if (!options.device.empty() && options.port != 0) {
        error = "--device probes one device: it takes no --port";
        return false;
    }
    if (options.simulate && (!options.device.empty() || options.port != 0 || !options.image.empty())) {
        error = "--simulate makes its own modem and image: it takes no --port, --device or IMAGE";
        return false;
    }
    return true;
}

void print_usage(std::FILE* out)
{
    std::fputs(
        "Usage: flashloader-cli [options] [IMAGE]\n"
        "Writes the Intel HEX firmware IMAGE into the flash of a modem on a serial port.\n"
        "The ports are probed from the first one down to COM1; COMn is the device in\n"
        "$FLASHLOADER_COM<n>, or /dev/ttyS<n-1>. Without IMAGE it is asked for.\n"
        "\n"
        "  -p, --port N      first COM port to probe, 1 to 15 (default 4)\n"
        "  -d, --device PATH probe just this device (as COM1)\n"
        "  -y, --yes         answer Yes to every question (but No to a fourth\n"
        "                    restart of a failing chip)\n"
        "  -n, --no          answer No to every question\n"
        "  -v, --verbose     show the debug log on standard error\n"
        "      --simulate    flash a simulated modem with a generated sample image\n"
        "      --list-ports  list the serial devices and which COM number maps to\n"
        "                    which device, then exit\n"
        "  -h, --help        show this help\n"
        "  -V, --version     show the version\n"
        "\n"
        "Without a terminal and without --yes or --no, a question takes its default.\n"
        "Ctrl-C while the image is written asks first; elsewhere it ends the job.\n"
        "\n"
        "Exit status: 0 flashed, 1 failed, 2 usage error, 3 cancelled or declined.\n",
        out);
}
