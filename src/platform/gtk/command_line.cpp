#include "platform/gtk/command_line.h"

#include <string_view>

namespace {
constexpr int COM_PORT_BITS = 0x0F;
constexpr int DEFAULT_COM_PORT = 4;
}  // namespace

bool parse_command_line(int argc, const char* const* argv, CommandLine& line, std::string& error)
{
    line = CommandLine{};
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (!options_ended && arg.starts_with("--")) {
            if (arg == "--")
                options_ended = true;
            else if (arg == "--simulate")
                line.simulate = true;
            else if (arg == "--help")
                line.help = true;
            else if (arg == "--version")
                line.version = true;
            else {
                error = "unknown option " + std::string(arg);
                return false;
            }
            continue;
        }
        // Only the first plain argument counts, and of it only its first
        // character.
        if (line.port_text.empty())
            line.port_text = arg;
    }
    return true;
}

int first_com_port(const std::string& port_text)
{
    int port = port_text.empty() ? 0 : static_cast<unsigned char>(port_text[0]) & COM_PORT_BITS;
    return port == 0 ? DEFAULT_COM_PORT : port;
}

const char* usage_text()
{
    return R"(usage: flashloader [options] [PORT]

Writes a firmware image (Intel HEX) into the flash memory of a modem on a
serial port. The window asks for the image, then the modem is looked for on
COM<PORT> down to COM1; PORT is one character whose low four bits give the
number (default 4). COM<n> is the device in $FLASHLOADER_COM<n>, else
/dev/ttyS<n-1>. The loader file flashldr.hex is read from the current
directory.

Options:
  --simulate   run against the simulated modem (modemsim) on a
               pseudo-terminal, in a scratch directory holding a generated
               image (modem.hex) and loader (flashldr.hex)
  --help       show this text
  --version    show the version
  GTK options such as --display are understood too.

Exit status: 0 when the image was programmed, 1 when the job ended without
success (cancelled, declined or failed), 2 when the program could not start.
)";
}
