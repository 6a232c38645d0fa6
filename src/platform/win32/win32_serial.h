// The serial device on Windows: a COM port opened by name with CreateFileA,
// synchronous I/O, the speed set through the device control block.
#pragma once

#include "platform/platform.h"

#include <windows.h>

namespace platform {

class Win32Serial : public SerialDevice {
public:
    ~Win32Serial() override;

    bool open(const char* com_name) override;
    bool get_settings(LineSettings& settings) override;
    bool set_settings(const LineSettings& settings) override;
    uint32_t last_error() override { return last_error_; }
    bool clear_errors(uint32_t& flags, uint32_t& bytes_waiting) override;
    bool read(void* dest, uint32_t count, uint32_t& got) override;
    bool write(const void* data, uint32_t count) override;
    void clear_break() override;
    void transmit_char(char ch) override;
    void close() override;
    void wait_readable(uint32_t max_ms) override;

private:
    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool fail();

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DWORD last_error_ = 0;
    // The settings as GetCommState gave them; set_settings writes the speed
    // and framing into this block, so every other field goes back unchanged.
    DCB dcb_ = {};
};

}  // namespace platform
