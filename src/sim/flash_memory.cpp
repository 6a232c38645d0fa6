#include "sim/flash_memory.h"

#include "sim/sample_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sim {

FlashMemory::FlashMemory() : bytes_(FLASH_SIZE, 0x00), written_(FLASH_SIZE, false) {}

void FlashMemory::erase()
{
    std::fill(bytes_.begin(), bytes_.end(), 0xFF);
    std::fill(written_.begin(), written_.end(), false);
    written_end_ = 0;
    bad_bytes_ = 0;
    complete_ = false;
}

uint32_t FlashMemory::program(uint32_t address, const uint8_t* data, size_t count)
{
    uint32_t bad = 0;
    for (size_t i = 0; i < count; ++i) {
        uint32_t at = address + static_cast<uint32_t>(i);
        bytes_[at] &= data[i];
        written_[at] = true;
        if (bytes_[at] != data[i])
            ++bad;
    }
    if (count > 0 && address + count > written_end_)
        written_end_ = address + static_cast<uint32_t>(count);
    bad_bytes_ += bad;
    return bad;
}

bool FlashMemory::write_binary(const std::string& path, std::string& error) const
{
    return write_whole_file(path, reinterpret_cast<const char*>(bytes_.data()), written_end_, error);
}

}  // namespace sim
