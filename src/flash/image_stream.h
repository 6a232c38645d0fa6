// Sending the image, one line per call.
#pragma once

// read_new != 0: read, frame and send the next line; 0: send line_buf again.
// 1: wait for the modem's answer; 0: do not wait (no colon, or the writes
// failed or the line was too long for line_buf, and ST_TEARDOWN has been
// stored). After the end of the image, line_buf and line_len keep the last
// line sent, so a resend (read_new 0) repeats it.
int send_image_line(int read_new);
