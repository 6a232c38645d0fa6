// A whole Intel HEX file decoded into the flash's address space, and the
// comparison of the programmed flash with it.
#pragma once

#include "sim/flash_memory.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct HexImage {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(FLASH_SIZE, 0xFF);
    std::vector<bool> defined = std::vector<bool>(FLASH_SIZE, false);
    uint32_t defined_count = 0;
};

// Lines end in LF or CR LF; empty lines are skipped; decoding stops at the
// end-of-file record. Any malformed record, or data beyond the flash, fails
// with the line number in `error`.
bool parse_hex_image(std::string_view text, HexImage& image, std::string& error);
bool load_hex_image(const std::string& path, HexImage& image, std::string& error);

// Whether the flash holds exactly the image: completely programmed, every
// byte of the image in place and nothing programmed outside it. The message
// says which, and where the first difference lies.
bool flash_matches_image(const FlashMemory& flash, const HexImage& image, std::string& message);

}  // namespace sim
