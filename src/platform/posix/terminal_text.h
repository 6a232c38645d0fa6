// Text from outside the program (a modem's replies, a device's product name,
// a file name) made safe for a terminal.
#pragma once

#include <string>

// Control characters (C0, DEL and the C1 range) and bytes that are not valid
// UTF-8 show as '.', so nothing from outside can move the cursor or change
// the terminal. Valid UTF-8 letters stay; line feeds stay when
// keep_line_feeds is set.
std::string printable(const char* text, bool keep_line_feeds);
