// Reading one line of a text file into a bounded buffer, for the loader and
// the image streams.
#pragma once

struct TextFile;

// Which characters end a line. Loader lines end only at a line feed (a lone
// carriage return is part of the record); image lines also end at a lone
// carriage return.
enum LineEnds : int {
    LINE_ENDS_LF = 0,
    LINE_ENDS_LF_OR_CR = 1,
};

// The end mark stored behind a line that the end of the file ended.
constexpr int LINE_END_MARK = 0xFF;
// Result of read_text_line for a line with more than max_chars characters.
constexpr int LINE_TOO_LONG = -1;

// Reads the next line of `file`, storing at most max_chars characters into
// dest (nullptr: count only), without the line end and without a terminator.
// *length gets the number of characters stored. Returns what ended the line:
// '\n', '\r' (LINE_ENDS_LF_OR_CR only), LINE_END_MARK at the end of the file,
// or LINE_TOO_LONG when one more character arrived; the rest of such a line
// is left unread.
int read_text_line(TextFile* file, char* dest, int max_chars, LineEnds ends, int* length);
