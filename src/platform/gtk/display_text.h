// Texts of the core (8-bit, some of them straight from a modem or a file
// name) made fit for GTK, which takes only valid UTF-8.
#pragma once

#include <string>

// Valid UTF-8 stays as it is; any other byte is read as Latin-1. Control
// characters show as '.', line feeds too unless keep_line_feeds is set, so
// nothing a modem sends can upset a label or a window title.
std::string display_text(const char* text, bool keep_line_feeds);
