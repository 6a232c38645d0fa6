// Text-mode reading of the image and loader files, the same on every OS:
// a CR LF pair reads as one LF, a lone CR stays a CR, and Ctrl-Z (0x1A) ends
// the file. Built over a binary stream so no C library text mode is involved.
#pragma once

#include <cstdio>

struct TextFile;

constexpr int TEXT_EOF = -1;

// nullptr when the file cannot be opened for reading.
TextFile* text_open(const char* path);
// The next character (0-255), or TEXT_EOF at the end of the text.
int text_getc(TextFile* file);
void text_close(TextFile* file);

// The name without its directory, for messages ("/a/b/modem.hex" gives "modem.hex").
const char* file_base_name(const char* path);
