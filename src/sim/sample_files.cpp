#include "sim/sample_files.h"

#include "sim/intel_hex.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace sim {

namespace {

constexpr size_t IMAGE_RECORD_SIZE = 32;
constexpr size_t LOADER_RECORD_SIZE = 16;
constexpr size_t LOADER_CODE_SIZE = 256;
constexpr size_t VERSION_OFFSET = 0x40;  // where the loader's code keeps its version text

std::vector<uint8_t> random_bytes(size_t count, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

void add_line(std::string& text, const std::string& record)
{
    text += record;
    text += '\n';
}

}  // namespace

std::string make_image_text(const ImageSpec& spec)
{
    std::vector<uint8_t> data = random_bytes(spec.size, spec.seed);
    if (data.size() >= IMAGE_RECORD_SIZE) {
        data[28] = static_cast<uint8_t>(spec.checksum);
        data[29] = static_cast<uint8_t>(spec.checksum >> 8);
        data[30] = static_cast<uint8_t>(spec.type_letter);
        data[31] = spec.sector;
    }
    std::string text;
    for (size_t address = 0; address < data.size(); address += IMAGE_RECORD_SIZE) {
        if (address > 0 && address % 0x10000 == 0) {
            uint16_t segment = static_cast<uint16_t>(address >> 4);
            uint8_t bytes[2] = {static_cast<uint8_t>(segment >> 8), static_cast<uint8_t>(segment)};
            add_line(text, format_hex_record(HEX_SEGMENT_ADDRESS, 0, bytes, 2));
        }
        size_t count = std::min(IMAGE_RECORD_SIZE, data.size() - address);
        add_line(text, format_hex_record(HEX_DATA, static_cast<uint16_t>(address), &data[address], count));
    }
    add_line(text, format_hex_record(HEX_END_OF_FILE, 0, nullptr, 0));
    return text;
}

std::string make_loader_text(const std::string& version)
{
    std::vector<uint8_t> code = random_bytes(LOADER_CODE_SIZE, 0x10ade);
    size_t room = LOADER_CODE_SIZE - VERSION_OFFSET - 1;
    size_t length = std::min(version.size(), room);
    std::copy_n(version.begin(), length, code.begin() + VERSION_OFFSET);
    code[VERSION_OFFSET + length] = 0;

    std::string text;
    for (size_t address = 0; address < code.size(); address += LOADER_RECORD_SIZE)
        add_line(text, format_hex_record(HEX_DATA, static_cast<uint16_t>(address), &code[address], LOADER_RECORD_SIZE));
    add_line(text, format_hex_record(HEX_END_OF_FILE, 0, nullptr, 0));
    return text;
}

bool write_whole_file(const std::string& path, const char* data, size_t size, std::string& error)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0)
        ok = false;
    if (!ok)
        error = path + ": write failed";
    return ok;
}

}  // namespace sim
