#include "sim/hex_image.h"

#include "sim/intel_hex.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

const char* describe(HexError error)
{
    switch (error) {
    case HexError::None:
        return "no error";
    case HexError::NoColon:
        return "no colon";
    case HexError::BadCharacter:
        return "a character that is not a hexadecimal digit";
    case HexError::BadLength:
        return "wrong length";
    case HexError::BadChecksum:
        return "wrong checksum";
    case HexError::BadType:
        return "unknown record type or wrong size for its type";
    }
    return "unknown error";
}

std::string at_line(size_t number, const std::string& what)
{
    return "line " + std::to_string(number) + ": " + what;
}

std::string hex_text(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

}  // namespace

bool parse_hex_image(std::string_view text, HexImage& image, std::string& error)
{
    HexAddressing addressing;
    HexRecord record;
    size_t number = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        HexError result = parse_hex_record(line, record);
        if (result != HexError::None) {
            error = at_line(number, describe(result));
            return false;
        }
        if (record.type == HEX_END_OF_FILE)
            return true;
        addressing.apply(record);
        if (record.type != HEX_DATA)
            continue;
        uint32_t address = addressing.address_of(record);
        if (address + record.data.size() > FLASH_SIZE) {
            error = at_line(number, "data beyond the flash at " + hex_text(address, 5));
            return false;
        }
        for (size_t i = 0; i < record.data.size(); ++i) {
            if (!image.defined[address + i])
                ++image.defined_count;
            image.defined[address + i] = true;
            image.bytes[address + i] = record.data[i];
        }
    }
    return true;
}

bool load_hex_image(const std::string& path, HexImage& image, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be opened";
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    if (!parse_hex_image(text.str(), image, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool flash_matches_image(const FlashMemory& flash, const HexImage& image, std::string& message)
{
    if (!flash.complete()) {
        message = "the flash was never completely programmed";
        return false;
    }
    uint32_t differing = 0;
    uint32_t first = 0;
    for (uint32_t address = 0; address < FLASH_SIZE; ++address) {
        bool wrong = image.defined[address] ? (!flash.written(address) || flash.at(address) != image.bytes[address])
                                            : flash.written(address);
        if (wrong && differing++ == 0)
            first = address;
    }
    if (differing == 0) {
        message = "the flash equals the image (" + std::to_string(image.defined_count) + " bytes)";
        return true;
    }
    message = "the flash differs from the image in " + std::to_string(differing) + " bytes, first at " +
              hex_text(first, 5) + ": " + hex_text(flash.at(first), 2) +
              (image.defined[first] ? ", expected " + hex_text(image.bytes[first], 2) : ", outside the image");
    return false;
}

}  // namespace sim
