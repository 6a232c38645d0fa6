// Sending "flashldr.hex" to the modem, one acknowledged line per call.
#pragma once

// The loader file, read from the current directory.
constexpr char LOADER_FILE_NAME[] = "flashldr.hex";

// 1 when the loader file has been read to its end (it is then closed);
// 0 otherwise (more lines, or ST_NOT_RESPONDING has been stored; after a line
// too long for line_buf, ST_TEARDOWN has been stored and the file closed).
int flash_download_loader();
