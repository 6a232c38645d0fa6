// The five modem types and identification from the reply to "ATI5\r".
#pragma once

enum ModemType : int {
    MT_UNKNOWN = 0,
    MT_CENTRAL_SITE = 1,
    MT_ISA = 2,
    MT_SERIAL = 3,
    MT_USB = 4,
    MT_PC_CARD = 5,
};

// Display name; "unknown type" for every code but 1 to 5.
const char* modem_type_name(int type);

// Sets job.modem_type from the reply in job.rx_buf, compares it with
// job.image_type and asks the user on a mismatch. 1: go on; 0: declined.
int identify_modem();
