// Intel HEX records: decoding one record line, composing one, and the running
// base address that segment and linear address records set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum HexRecordType : uint8_t {
    HEX_DATA = 0x00,
    HEX_END_OF_FILE = 0x01,
    HEX_SEGMENT_ADDRESS = 0x02,
    HEX_START_SEGMENT = 0x03,
    HEX_LINEAR_ADDRESS = 0x04,
    HEX_START_LINEAR = 0x05,
};

enum class HexError {
    None,
    NoColon,       // the line does not begin with ':'
    BadCharacter,  // a character that is not a hexadecimal digit
    BadLength,     // too short, odd, or not what the byte count says
    BadChecksum,
    BadType,       // a record type outside 00-05, or a wrong size for its type
};

struct HexRecord {
    uint8_t type = 0;
    uint16_t offset = 0;
    std::vector<uint8_t> data;
};

// Decodes ":LLAAAATT<data>CC" exactly, with no trailing characters.
HexError parse_hex_record(std::string_view line, HexRecord& record);

// ":LLAAAATT<data>CC" with upper-case digits, no line end. At most 255 bytes.
std::string format_hex_record(uint8_t type, uint16_t offset, const uint8_t* data, size_t count);

// True when every character is a hexadecimal digit: a record that lost its colon.
bool is_hex_digits(std::string_view text);

// The base that type 02 (segment << 4) and type 04 (upper 16 bits) records
// set; a data record's bytes start at base + offset.
class HexAddressing {
public:
    void apply(const HexRecord& record);
    uint32_t address_of(const HexRecord& record) const { return base_ + record.offset; }
    void reset() { base_ = 0; }

private:
    uint32_t base_ = 0;
};

}  // namespace sim
