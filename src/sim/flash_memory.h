// The modem's flash memory with NOR semantics: an erase sets every byte to
// 0xFF, programming can only clear bits. A byte programmed over a value that
// already differs (written twice, or never erased) reads back wrong, and the
// memory counts it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr uint32_t FLASH_SIZE = 1u << 20;

class FlashMemory {
public:
    // Until its first erase the chip holds old contents: all bytes 0x00.
    FlashMemory();

    void erase();
    // Programs count bytes from address (address + count must not pass
    // FLASH_SIZE). Returns how many of them read back differently.
    uint32_t program(uint32_t address, const uint8_t* data, size_t count);

    uint8_t at(uint32_t address) const { return bytes_[address]; }
    // Programmed since the last erase.
    bool written(uint32_t address) const { return written_[address]; }
    // One past the highest address programmed since the last erase; 0 if none.
    uint32_t written_end() const { return written_end_; }
    // Bytes that read back wrong since the last erase.
    uint32_t bad_bytes() const { return bad_bytes_; }

    // The loader saw the end of the image with no failure since the erase.
    bool complete() const { return complete_; }
    void mark_complete() { complete_ = true; }

    // Writes addresses 0 to written_end() - 1 as a binary file (unprogrammed
    // bytes as the chip holds them, 0xFF after an erase).
    bool write_binary(const std::string& path, std::string& error) const;

private:
    std::vector<uint8_t> bytes_;
    std::vector<bool> written_;
    uint32_t written_end_ = 0;
    uint32_t bad_bytes_ = 0;
    bool complete_ = false;
};

}  // namespace sim
