// Sending "flashldr.hex" to the modem, one acknowledged line per call.
#pragma once

// 1 when the loader file has been read to its end (it is then closed);
// 0 otherwise (more lines, or ST_NOT_RESPONDING has been stored).
int flash_download_loader();
