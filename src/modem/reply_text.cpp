#include "modem/reply_text.h"

#include "app/flash_job.h"

#include <cstring>

std::string_view reply_text()
{
    int limit = job.rx_count;
    if (limit < 0)
        limit = 0;
    if (limit > RX_BUF_SIZE - 1)
        limit = RX_BUF_SIZE - 1;
    return {job.rx_buf, strnlen(job.rx_buf, static_cast<size_t>(limit))};
}

char reply_char(int pos)
{
    std::string_view reply = reply_text();
    if (pos < 0 || static_cast<size_t>(pos) >= reply.size())
        return '\0';
    return reply[static_cast<size_t>(pos)];
}
