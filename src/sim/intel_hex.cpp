#include "sim/intel_hex.h"

namespace sim {

namespace {

int digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The size a record of this type must carry; -1 for any size.
int required_size(uint8_t type)
{
    switch (type) {
    case HEX_DATA:
        return -1;
    case HEX_END_OF_FILE:
        return 0;
    case HEX_SEGMENT_ADDRESS:
    case HEX_LINEAR_ADDRESS:
        return 2;
    case HEX_START_SEGMENT:
    case HEX_START_LINEAR:
        return 4;
    default:
        return -2;
    }
}

}  // namespace

bool is_hex_digits(std::string_view text)
{
    for (char c : text) {
        if (digit_value(c) < 0)
            return false;
    }
    return !text.empty();
}

HexError parse_hex_record(std::string_view line, HexRecord& record)
{
    if (line.empty() || line[0] != ':')
        return HexError::NoColon;
    std::string_view digits = line.substr(1);
    if (!is_hex_digits(digits))
        return HexError::BadCharacter;
    if (digits.size() < 10 || digits.size() % 2 != 0)
        return HexError::BadLength;

    std::vector<uint8_t> bytes(digits.size() / 2);
    uint8_t sum = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(digit_value(digits[2 * i]) * 16 + digit_value(digits[2 * i + 1]));
        sum = static_cast<uint8_t>(sum + bytes[i]);
    }
    size_t count = bytes[0];
    if (bytes.size() != count + 5)
        return HexError::BadLength;
    if (sum != 0)
        return HexError::BadChecksum;
    int size = required_size(bytes[3]);
    if (size == -2 || (size >= 0 && static_cast<size_t>(size) != count))
        return HexError::BadType;

    record.type = bytes[3];
    record.offset = static_cast<uint16_t>(bytes[1] << 8 | bytes[2]);
    record.data.assign(bytes.begin() + 4, bytes.begin() + 4 + static_cast<std::ptrdiff_t>(count));
    return HexError::None;
}

std::string format_hex_record(uint8_t type, uint16_t offset, const uint8_t* data, size_t count)
{
    static const char DIGITS[] = "0123456789ABCDEF";
    std::string text = ":";
    uint8_t sum = 0;
    auto put = [&](uint8_t byte) {
        text.push_back(DIGITS[byte >> 4]);
        text.push_back(DIGITS[byte & 0x0F]);
        sum = static_cast<uint8_t>(sum + byte);
    };
    put(static_cast<uint8_t>(count));
    put(static_cast<uint8_t>(offset >> 8));
    put(static_cast<uint8_t>(offset));
    put(type);
    for (size_t i = 0; i < count; ++i)
        put(data[i]);
    put(static_cast<uint8_t>(-sum));
    return text;
}

void HexAddressing::apply(const HexRecord& record)
{
    if (record.data.size() != 2)
        return;
    uint32_t value = static_cast<uint32_t>(record.data[0]) << 8 | record.data[1];
    if (record.type == HEX_SEGMENT_ADDRESS)
        base_ = value << 4;
    else if (record.type == HEX_LINEAR_ADDRESS)
        base_ = value << 16;
}

}  // namespace sim
