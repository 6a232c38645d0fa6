// The modemsim command line.
#pragma once

#include "sim/flash_memory.h"
#include "sim/modem_config.h"
#include "sim/sample_files.h"

#include <string>

namespace sim {

enum class SimAction { Serve, MakeImage, MakeLoader, Help };

struct SimOptions {
    SimAction action = SimAction::Serve;
    ModemConfig modem;
    std::string device;     // serve this serial device instead of a pseudo-terminal
    std::string link;       // symlink to the end the flasher opens
    std::string flash_out;  // binary of the flash, written when a job ends
    std::string expect;     // image the flash is compared with when a job ends
    bool paced = false;
    bool exit_after_job = false;
    bool verbose = false;
    std::string output_file;  // of --make-image and --make-loader
    ImageSpec image;
};

// False with a message in `error` for anything unknown, malformed or
// contradictory.
bool parse_options(int argc, const char* const* argv, SimOptions& options, std::string& error);

const char* usage_text();

}  // namespace sim
