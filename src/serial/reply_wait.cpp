#include "serial/reply_wait.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "platform/platform.h"
#include "serial/serial_port.h"

#include <cstring>

namespace {

constexpr int BLOCKING_READ = 20;
constexpr int POLLED_READ = 80;
constexpr int BLOCKING_RESTART_AT = 4096;  // rx_count + 20 reaching this restarts

uint32_t elapsed_ms()
{
    return platform::tick_ms() - job.wait_start_tick;
}

bool matched(const char* expected)
{
    if (!std::strstr(job.rx_buf, expected))
        return false;
    if (std::strchr(job.rx_buf, '>'))
        log_line(job.rx_buf);
    return true;
}

int report_timeout(const char* count_format)
{
    format_text(job.msg_buf, count_format, job.rx_count);
    log_line(job.msg_buf);
    log_line(job.rx_buf);
    log_line("Flash Comm Read Failed");
    return WAIT_TIMEOUT;
}

int wait_blocking(const char* expected, uint32_t limit_ms)
{
    job.rx_count = 0;
    job.rx_buf[0] = '\0';
    job.wait_start_tick = platform::tick_ms();
    for (;;) {
        int n = comm_read(job.rx_count, BLOCKING_READ);
        if (n > 0) {
            job.rx_count += n;
            if (job.rx_count + BLOCKING_READ >= BLOCKING_RESTART_AT)
                job.rx_count = 0;
            job.rx_buf[job.rx_count] = '\0';
            if (matched(expected))
                return WAIT_MATCHED;
        }
        uint32_t elapsed = elapsed_ms();
        if (elapsed > limit_ms)
            return report_timeout("Characters Received = %d ");
        // Nothing waiting: sleep until input arrives or just past the limit.
        if (n == 0)
            platform::serial().wait_readable(limit_ms - elapsed + 1);
    }
}

int wait_polled(const char* expected, uint32_t limit_ms)
{
    // Read only what fits: the polled wait never restarts its buffer, so a
    // reply that fills rx_buf simply stops growing and the wait times out.
    int room = RX_BUF_SIZE - 1 - job.rx_count;
    int max_read = room < POLLED_READ ? room : POLLED_READ;
    int n = max_read > 0 ? comm_read(job.rx_count, max_read) : 0;
    if (n > 0) {
        job.rx_count += n;
        job.rx_buf[job.rx_count] = '\0';
        if (matched(expected))
            return WAIT_MATCHED;
    }
    if (elapsed_ms() <= limit_ms)
        return WAIT_PENDING;
    return report_timeout("FLASH: Chars Received = %d ");
}

}  // namespace

int wait_reply(const char* expected, int timeout_s, int blocking)
{
    uint32_t limit_ms = static_cast<uint32_t>(timeout_s) * 1000u;
    return blocking ? wait_blocking(expected, limit_ms) : wait_polled(expected, limit_ms);
}
