#include "sim/options.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <string_view>

namespace sim {

namespace {

bool parse_unsigned(std::string_view text, uint32_t& value, int base = 10)
{
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parse_hex(std::string_view text, size_t max_digits, uint32_t& value)
{
    return text.size() <= max_digits && parse_unsigned(text, value, 16);
}

// "none" or "SS:CCCC": sector size and checksum in hexadecimal.
bool parse_resident(std::string_view text, ResidentLoad& load)
{
    if (text == "none") {
        load.present = false;
        return true;
    }
    size_t colon = text.find(':');
    uint32_t sector = 0;
    uint32_t checksum = 0;
    if (colon == std::string_view::npos || !parse_hex(text.substr(0, colon), 2, sector) ||
        !parse_hex(text.substr(colon + 1), 4, checksum))
        return false;
    load = {true, static_cast<uint8_t>(sector), static_cast<uint16_t>(checksum)};
    return true;
}

bool valid_version(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        if (!std::isprint(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

constexpr std::string_view VALUE_OPTIONS[] = {
    "--type",   "--resident", "--rrfl-version", "--loader-version", "--erase-ms",   "--record-ms",
    "--fault",  "--seed",     "--device",       "--link",           "--flash-out",  "--expect",
    "--make-image", "--make-loader", "--sector", "--checksum",      "--size",
};

bool takes_value(std::string_view name)
{
    for (std::string_view option : VALUE_OPTIONS) {
        if (name == option)
            return true;
    }
    return false;
}

}  // namespace

bool parse_options(int argc, const char* const* argv, SimOptions& options, std::string& error)
{
    options = SimOptions{};
    for (int i = 1; i < argc; ++i) {
        std::string_view name = argv[i];
        auto value = [&](std::string_view& out) {
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto bad = [&](std::string_view text) {
            error = "bad value for " + std::string(name) + ": " + std::string(text);
            return false;
        };
        std::string_view text;
        uint32_t number = 0;

        if (name == "-h" || name == "--help") {
            options.action = SimAction::Help;
            return true;
        } else if (name == "--in-rrfl") {
            options.modem.start_in_rrfl = true;
        } else if (name == "--not-flashable") {
            options.modem.flashable = false;
        } else if (name == "--no-echo") {
            options.modem.echo = false;
        } else if (name == "--paced") {
            options.paced = true;
        } else if (name == "--exit-after-job") {
            options.exit_after_job = true;
        } else if (name == "-v" || name == "--verbose") {
            options.verbose = true;
        } else if (!takes_value(name)) {
            error = "unknown option: " + std::string(name);
            return false;
        } else if (!value(text)) {
            return false;
        } else if (name == "--type") {
            if (text.size() != 1 || !std::isalpha(static_cast<unsigned char>(text[0])))
                return bad(text);
            options.modem.type_letter = text[0];
            options.image.type_letter = text[0];
        } else if (name == "--resident") {
            if (!parse_resident(text, options.modem.resident))
                return bad(text);
        } else if (name == "--rrfl-version") {
            if (!valid_version(text))
                return bad(text);
            options.modem.rrfl_version = text;
        } else if (name == "--loader-version") {
            if (!valid_version(text))
                return bad(text);
            options.modem.loader_version = std::string(text);
        } else if (name == "--erase-ms") {
            if (!parse_unsigned(text, options.modem.erase_ms))
                return bad(text);
        } else if (name == "--record-ms") {
            if (!parse_unsigned(text, options.modem.record_ms))
                return bad(text);
        } else if (name == "--fault") {
            FaultSpec spec;
            if (!parse_fault(text, spec, error))
                return false;
            options.modem.faults.push_back(spec);
        } else if (name == "--seed") {
            if (!parse_unsigned(text, number))
                return bad(text);
            options.modem.seed = number;
            options.image.seed = number;
        } else if (name == "--device") {
            options.device = text;
        } else if (name == "--link") {
            options.link = text;
        } else if (name == "--flash-out") {
            options.flash_out = text;
        } else if (name == "--expect") {
            options.expect = text;
        } else if (name == "--make-image") {
            options.action = SimAction::MakeImage;
            options.output_file = text;
        } else if (name == "--make-loader") {
            options.action = SimAction::MakeLoader;
            options.output_file = text;
        } else if (name == "--sector") {
            if (!parse_hex(text, 2, number))
                return bad(text);
            options.image.sector = static_cast<uint8_t>(number);
        } else if (name == "--checksum") {
            if (!parse_hex(text, 4, number))
                return bad(text);
            options.image.checksum = static_cast<uint16_t>(number);
        } else if (name == "--size") {
            if (!parse_unsigned(text, number) || number < 32 || number > FLASH_SIZE)
                return bad(text);
            options.image.size = number;
        }
    }
    if (options.modem.start_in_rrfl && !options.modem.resident.present) {
        error = "--in-rrfl needs a resident loader (--resident SS:CCCC)";
        return false;
    }
    return true;
}

const char* usage_text()
{
    return R"(usage: modemsim [options]
       modemsim --make-image OUT.hex [--type L] [--sector 40|10] [--checksum HEX4] [--size BYTES] [--seed N]
       modemsim --make-loader OUT.hex [--loader-version TEXT]

Serves a simulated modem on a new pseudo-terminal (raw, 115200 baud) and
prints the path of the end the flasher opens as the first line of output.

Line:
  --link PATH            make PATH a symlink to that end (removed at exit)
  --device PATH          serve a serial device instead of a pseudo-terminal
  --paced                both directions at 11,520 characters per second
  --exit-after-job       end after the flasher's job: after "Y", or when the
                         flasher closes the line after having sent anything
  -v, --verbose          log the traffic on standard error

Modem:
  --type LETTER          type letter of the ATI5 answer: C, I, S, U, P (default I)
  --resident none|SS:CCCC  resident loader: sector size and checksum in hex,
                         e.g. 40:1A2B (default none)
  --in-rrfl              start in the resident loader (needs --resident)
  --rrfl-version TEXT    version the resident loader reports (default Ver:4.4)
  --loader-version TEXT  version a downloaded loader reports (default: the
                         version text in the loader's data, else Ver:4.4);
                         with --make-loader, the version written into the file
  --not-flashable        answer ERROR to AT&&F
  --no-echo              do not echo commands
  --erase-ms N           erase time of a starting loader (default 200)
  --record-ms N          programming time per image record (default 0)
  A completely programmed image becomes the firmware when the job ends: its
  first record's type letter, sector size and checksum make the new resident
  loader. A job cut short leaves the modem in its resident loader, or dead
  (silent) after a downloaded loader erased the whole chip.

Faults:
  --fault KIND[:ARG]@WHERE   (repeatable)
  --seed N                   seed of probabilities and noise (default 1)
  KIND:
    silent          no echo, no answer: the line is lost
    late[:MS]       the answer comes MS ms late (default 1500)
    nok1 ... nok4   answer NOKn (the record is not programmed)
    rx-corrupt[:N]  N characters of the received line are altered (default 1)
    rx-drop[:N]     N characters of the received line are lost (default 1)
    tx-corrupt[:N]  N characters of the answer are altered (default 1)
    tx-drop[:N]     N characters of the answer are lost (default 1)
    garbage[:N]     a burst of N noise characters before the answer (default 64)
    stream          endless noise in place of the answer, until the line closes
    vanish          the line closes for good and the simulator ends
  WHERE:
    cmd=N, cmd=N-M, cmd=N-    command lines by number from 1 (loader records
                              count as commands)
    cmd=TEXT                  every command with this text, e.g. cmd=AT&&FFL
    line=N, line=N-M, line=N- image lines received by a running loader, from
                              1; resends count as new lines
    cmd=pP, line=pP           each with probability P (0 to 1)
  Noise never holds NUL, "O" or "K".

Results (when a job ends):
  --flash-out FILE       write the flash from address 0 to the highest
                         address programmed, as a binary file
  --expect IMAGE.hex     compare the flash with the image; exit status 0 when
                         the last comparison found them equal, else 1
Exit status 2: bad options, or a file or line that cannot be opened.

Sample files (written at once, exit 0):
  --make-image OUT.hex   a valid image: --type, --sector (hex, default 40),
                         --checksum (hex, default 1A2B), --size (default 16384)
  --make-loader OUT.hex  a small valid loader file
)";
}

}  // namespace sim
