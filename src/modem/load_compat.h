// Whether the modem's resident loader and the image describe the same load.
#pragma once

enum ResloadVariant : int {
    RESLOAD_RRFL,  // reply to "ATI5\r" while the resident loader runs
    RESLOAD_FFL,   // reply to "AT&&FFL\r"
};

// What modem_checksum becomes when a marker is found but the reply does not
// hold all four checksum characters next to it. No four characters give this
// value, so such a reply can never pass for a compatible load.
constexpr int MODEM_CHECKSUM_MISSING = -1;

// Sector size and checksum of the modem's resident load, from job.rx_buf.
void read_resident_load(ResloadVariant variant);
int ldsAreCompat();
// The explanation of why the loads differ, left in job.msg_buf.
void build_incompat_report(int in_rrfl);
