// What the image's first record says about the load it carries.
#pragma once

// Read modem type, sector size and resident-loader checksum from the first
// 75 characters of job.image_path. False only when the file cannot be opened.
bool read_image_header();

// Four characters to a number: hex digits in either case, any other character
// weighs in with its own code. Reads exactly four characters.
int hex4(const char* text);
