// Lines that do not fit line_buf: found before anything is sent, and
// reported the same way wherever they are met.
#pragma once

#include "app/flash_job.h"
#include "flash/line_reader.h"

// Longest line of the loader file: "at&&f", the record, the carriage return
// and the end character fill line_buf.
constexpr int LOADER_LINE_MAX_CHARS = LINE_BUF_SIZE - 7;  // 121
// Longest image line: the line, its carriage return and the end character.
constexpr int IMAGE_LINE_MAX_CHARS = LINE_BUF_SIZE - 2;   // 126

// Scans `path` in text mode for the first line with more than max_chars
// characters, counting lines as the senders do (`ends`). 1: found, its
// number (from 1) in *line_number; 0: every line fits; -1: cannot open.
int find_overlong_line(const char* path, int max_chars, LineEnds ends, int* line_number);

// Logs and shows "Line N of FILE is too long for the modem (more than M
// characters).", naming the file without its directory.
void report_overlong_line(const char* path, int line_number, int max_chars);
