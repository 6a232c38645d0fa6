// Whether the modem's resident loader and the image describe the same load.
#pragma once

enum ResloadVariant : int {
    RESLOAD_RRFL,  // reply to "ATI5\r" while the resident loader runs
    RESLOAD_FFL,   // reply to "AT&&FFL\r"
};

void read_resident_load(ResloadVariant variant);
int ldsAreCompat();
// The explanation of why the loads differ, left in job.msg_buf.
void build_incompat_report(int in_rrfl);
