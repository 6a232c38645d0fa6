// How a simulated modem is set up: by command-line options in modemsim, or
// directly in tests.
#pragma once

#include "sim/faults.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// The resident flash loader (RRFL) a modem holds: its flash sector size and
// its 16-bit checksum, as the modem reports them.
struct ResidentLoad {
    bool present = false;
    uint8_t sector = 0x40;
    uint16_t checksum = 0;
};

constexpr const char* DEFAULT_LOADER_VERSION = "Ver:4.4";

struct ModemConfig {
    char type_letter = 'I';
    ResidentLoad resident;
    bool start_in_rrfl = false;  // needs a resident load
    std::string rrfl_version = DEFAULT_LOADER_VERSION;
    // What a downloaded loader reports. Unset: the version text found in the
    // loader's own data, else DEFAULT_LOADER_VERSION.
    std::optional<std::string> loader_version;
    bool flashable = true;
    bool echo = true;
    uint32_t erase_ms = 200;
    uint32_t record_ms = 0;
    std::vector<FaultSpec> faults;
    uint32_t seed = 1;
};

}  // namespace sim
