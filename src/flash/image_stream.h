// Sending the image, one line per call.
#pragma once

// read_new != 0: read, frame and send the next line; 0: send line_buf again.
// 1: wait for the modem's answer; 0: do not wait (no colon, or the writes
// failed and ST_TEARDOWN has been stored).
int send_image_line(int read_new);
