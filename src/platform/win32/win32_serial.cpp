#include "platform/win32/win32_serial.h"

#include <cstdio>

namespace platform {

namespace {

// The block as 32-bit Windows lays it out; its length field is set to this.
constexpr DWORD DCB_LENGTH = 28;
static_assert(sizeof(DCB) == DCB_LENGTH, "DCB layout");

// The core's error bits are the driver's CE_ bits.
static_assert(COMM_ERR_RXOVER == CE_RXOVER && COMM_ERR_OVERRUN == CE_OVERRUN && COMM_ERR_RXPARITY == CE_RXPARITY &&
                  COMM_ERR_FRAME == CE_FRAME && COMM_ERR_BREAK == CE_BREAK,
              "comm error flags");

// Arrival of input cannot be waited for without a comm event mask, which the
// port never gets: a reply wait polls at this interval instead.
constexpr DWORD POLL_INTERVAL_MS = 1;

const char* open_failure_hint(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "no such port";
    case ERROR_ACCESS_DENIED: return "the port is in use by another program";
    default: return "the port cannot be opened";
    }
}

}  // namespace

Win32Serial::~Win32Serial()
{
    close();
}

bool Win32Serial::fail()
{
    last_error_ = GetLastError();
    return false;
}

bool Win32Serial::open(const char* com_name)
{
    close();
    handle_ = CreateFileA(com_name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
    if (is_open())
        return true;
    fail();
    char text[96];
    std::snprintf(text, sizeof text, "%s: CreateFileA error %lu, %s\n", com_name,
                  static_cast<unsigned long>(last_error_), open_failure_hint(last_error_));
    OutputDebugStringA(text);
    return false;
}

bool Win32Serial::get_settings(LineSettings& settings)
{
    if (!is_open())
        return false;
    dcb_ = DCB{};
    dcb_.DCBlength = DCB_LENGTH;
    if (!GetCommState(handle_, &dcb_))
        return fail();
    settings.baud_rate = dcb_.BaudRate;
    settings.byte_size = dcb_.ByteSize;
    settings.parity = dcb_.Parity;
    settings.stop_bits = dcb_.StopBits;
    return true;
}

bool Win32Serial::set_settings(const LineSettings& settings)
{
    if (!is_open())
        return false;
    dcb_.BaudRate = settings.baud_rate;
    dcb_.ByteSize = settings.byte_size;
    dcb_.Parity = settings.parity;
    dcb_.StopBits = settings.stop_bits;
    if (!SetCommState(handle_, &dcb_))
        return fail();
    return true;
}

bool Win32Serial::clear_errors(uint32_t& flags, uint32_t& bytes_waiting)
{
    flags = 0;
    bytes_waiting = 0;
    if (!is_open())
        return false;
    DWORD errors = 0;
    COMSTAT status = {};
    if (!ClearCommError(handle_, &errors, &status))
        return fail();
    flags = errors;
    bytes_waiting = status.cbInQue;
    return true;
}

bool Win32Serial::read(void* dest, uint32_t count, uint32_t& got)
{
    got = 0;
    if (!is_open())
        return false;
    DWORD read_count = 0;
    if (!ReadFile(handle_, dest, count, &read_count, nullptr))
        return fail();
    got = read_count;
    return true;
}

bool Win32Serial::write(const void* data, uint32_t count)
{
    if (!is_open())
        return false;
    DWORD written = 0;
    if (!WriteFile(handle_, data, count, &written, nullptr))
        return fail();
    // No write time-out is ever set, so a short write means a failed one.
    return written == count;
}

void Win32Serial::clear_break()
{
    if (is_open())
        ClearCommBreak(handle_);
}

void Win32Serial::transmit_char(char ch)
{
    if (is_open())
        TransmitCommChar(handle_, ch);
}

void Win32Serial::close()
{
    if (!is_open())
        return;
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

void Win32Serial::wait_readable(uint32_t max_ms)
{
    Sleep(max_ms < POLL_INTERVAL_MS ? max_ms : POLL_INTERVAL_MS);
}

}  // namespace platform
