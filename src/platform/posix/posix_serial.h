// The serial device on POSIX systems, over termios.
#pragma once

#include "platform/platform.h"
#include "platform/posix/open_failures.h"

#include <cstddef>
#include <cstdint>

namespace platform {

// Path of the device behind a COM name: $FLASHLOADER_COM<n> when set, else
// /dev/ttyS<n-1>, with n the fourth character minus '0' ("COM:" is 10).
// False for a name that is not COM followed by one character of 1 to 15.
// `mapped`, when given, tells whether the variable named the device.
bool serial_device_path(const char* com_name, char* path, size_t path_size, bool* mapped = nullptr);

// COM<n> is `device` from now on: sets FLASHLOADER_COM<n>.
void map_com_port(int n, const char* device);

// Why an open failed, for the debug channel and the user: the errno text,
// and for a denied, busy or non-serial device what the user can do about it.
void describe_open_failure(int error, const char* com_name, const char* path, char* text, size_t text_size);

// An exclusive serial port: a non-blocking flock keeps out every other opener
// (root included), TIOCEXCL keeps out other programs that do not lock.
class PosixSerial : public SerialDevice {
public:
    ~PosixSerial() override;

    bool open(const char* com_name) override;
    bool get_settings(LineSettings& settings) override;
    bool set_settings(const LineSettings& settings) override;
    uint32_t last_error() override { return static_cast<uint32_t>(last_errno_); }
    bool clear_errors(uint32_t& flags, uint32_t& bytes_waiting) override;
    bool read(void* dest, uint32_t count, uint32_t& got) override;
    bool write(const void* data, uint32_t count) override;
    void clear_break() override;
    void transmit_char(char ch) override;
    void close() override;
    void wait_readable(uint32_t max_ms) override;
    int poll_fd() const override { return fd_; }

    // How the last open of each COM port went.
    const PortOpenRecord& open_record() const { return open_record_; }

private:
    bool fail(int error);
    bool open_failed(const char* com_name, const char* path, bool mapped, int error);
    bool wait_writable();
    bool drain_output();
    uint32_t take_error_flags();

    int fd_ = -1;
    int last_errno_ = 0;
    PortOpenRecord open_record_;
    // Driver error counters at the last clear_errors; valid when have_counts_.
    bool have_counts_ = false;
    int counts_[5] = {};
};

}  // namespace platform
