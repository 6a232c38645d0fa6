// Puts a modem reply into job.rx_buf as a finished wait leaves it: the text,
// its terminator and rx_count. Whatever stood further on in the buffer stays,
// as it does after a real wait.
#pragma once

#include "app/flash_job.h"

#include <cstring>
#include <string>

inline void set_reply(const std::string& reply)
{
    std::memcpy(job.rx_buf, reply.data(), reply.size());
    job.rx_buf[reply.size()] = '\0';
    job.rx_count = static_cast<int>(reply.size());
}

// A reply left behind by an earlier wait, then a new, shorter one over it.
inline void set_reply_over_stale(const std::string& stale, const std::string& reply)
{
    set_reply(stale);
    set_reply(reply);
}
