// What an image file must hold before anything is erased for it: text, and
// at least one record. An empty or binary file would otherwise erase the
// modem's flash and "program" nothing.
#pragma once

enum ImageContent {
    IMAGE_CONTENT_OK = 0,
    IMAGE_NO_RECORD = 1,    // no line begins with ':'
    IMAGE_NOT_TEXT = 2,     // a NUL, control or non-ASCII byte
    IMAGE_UNREADABLE = -1,  // cannot be opened
};

// Scans `path` in text mode (one character at a time, so any size is fine).
// For IMAGE_NOT_TEXT, the 1-based line of the first bad byte is in
// *line_number and the byte in *bad_byte.
int check_image_content(const char* path, int* line_number, int* bad_byte);

// Logs and shows why the image is refused, naming the file.
void report_bad_image(const char* path, int content, int line_number, int bad_byte);
