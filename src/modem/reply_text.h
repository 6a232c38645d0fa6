// The modem's reply as the last wait collected it in job.rx_buf. The buffer
// keeps older characters behind the reply's terminator; these helpers never
// let them pass for part of the reply.
#pragma once

#include <string_view>

// The reply: rx_buf up to its terminator and never beyond job.rx_count.
std::string_view reply_text();

// The character at pos of the reply; NUL at every position beyond its end.
char reply_char(int pos);
