// Sample files for tests and demos: a firmware image and a flash loader, both
// valid Intel HEX text with LF line ends.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

struct ImageSpec {
    char type_letter = 'I';
    uint8_t sector = 0x40;
    uint16_t checksum = 0x1A2B;  // of the resident loader the image carries
    uint32_t size = 16384;       // data bytes, 32 to FLASH_SIZE
    uint32_t seed = 1;           // of the pseudo-random contents
};

// 32-byte data records from address 0, a segment address record at every
// 64 KiB boundary, and the end-of-file record. Data bytes 28-31 of the first
// record hold the checksum (low byte first), the type letter's code and the
// sector size.
std::string make_image_text(const ImageSpec& spec);

// A small loader: 16-byte data records whose code carries the version text
// (NUL-terminated), then the end-of-file record.
std::string make_loader_text(const std::string& version);

// Writes the bytes as the whole file, binary; on failure `error` names the path and why.
bool write_whole_file(const std::string& path, const char* data, size_t size, std::string& error);

}  // namespace sim
