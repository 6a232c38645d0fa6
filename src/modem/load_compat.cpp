#include "modem/load_compat.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "modem/image_header.h"
#include "modem/modem_types.h"
#include "modem/reply_text.h"
#include "serial/serial_port.h"

#include <string_view>

namespace {

constexpr int MARKER_LEN = 4;    // ",40," or ",10,"
constexpr int CHECKSUM_LEN = 4;  // four hex characters next to the marker

struct SectorMarker {
    const char* text;
    int sector;
};
// Searched in this order: ",10," counts only when ",40," is nowhere.
constexpr SectorMarker SECTOR_MARKERS[] = {{",40,", 0x40}, {",10,", 0x10}};

// The checksum next to the marker at marker_pos: after it while the resident
// loader runs, before it in the reply to "AT&&FFL\r".
int checksum_near(std::string_view reply, size_t marker_pos, ResloadVariant variant)
{
    size_t start;
    if (variant == RESLOAD_RRFL) {
        start = marker_pos + MARKER_LEN;
    } else {
        if (marker_pos < CHECKSUM_LEN)
            return MODEM_CHECKSUM_MISSING;
        start = marker_pos - CHECKSUM_LEN;
    }
    if (start + CHECKSUM_LEN > reply.size())
        return MODEM_CHECKSUM_MISSING;
    return hex4(reply.data() + start);
}

}  // namespace

void read_resident_load(ResloadVariant variant)
{
    std::string_view reply = reply_text();
    int sector = 0;
    size_t marker_pos = std::string_view::npos;
    for (const SectorMarker& marker : SECTOR_MARKERS) {
        marker_pos = reply.find(marker.text);
        if (marker_pos != std::string_view::npos) {
            sector = marker.sector;
            break;
        }
    }

    job.modem_sector = sector;
    format_text(job.detail_buf, variant == RESLOAD_RRFL ? "Actual sector size = 0x%2x\n " : "Actual sector = 0x%2x\n ",
                static_cast<unsigned>(sector));
    log_line(job.detail_buf);

    if (marker_pos == std::string_view::npos)
        return;  // no marker: the checksum of an earlier reply stays, the sector of 0 fails the check
    job.modem_checksum = checksum_near(reply, marker_pos, variant);
    format_text(job.detail_buf, "Actual chksum = 0x%4x\n ", static_cast<unsigned>(job.modem_checksum));
    log_line(job.detail_buf);
}

int ldsAreCompat()
{
    bool compatible = job.image_sector != 0 && job.types_match != 0 && job.modem_sector == job.image_sector &&
                      job.modem_checksum == job.image_checksum;
    if (compatible)
        return 1;
    log_line("ldsAreCompat() FAILED");
    return 0;
}

void build_incompat_report(int in_rrfl)
{
    copy_text(job.msg_buf, in_rrfl ? "IN RRFl but file " : "Want to use RRFl but file ");

    if (job.image_sector == 0) {
        append_text(job.msg_buf, "has NO RRFL\n");
    } else if (job.types_match == 0) {
        append_text(job.msg_buf, "is incompatible (");
        append_text(job.msg_buf, modem_type_name(job.image_type));
        append_text(job.msg_buf, ")\n");
    } else if (job.modem_sector != job.image_sector) {
        append_text(job.msg_buf, "has a sector size mismatch\n");
        format_text(job.detail_buf, "Modem sector = %2x\n ", static_cast<unsigned>(job.modem_sector));
        append_text(job.msg_buf, job.detail_buf);
        format_text(job.detail_buf, "Hex file sector = %2x\n", static_cast<unsigned>(job.image_sector));
        append_text(job.msg_buf, job.detail_buf);
    } else {
        append_text(job.msg_buf, "has an RRFL checksum mismatch\n");
        format_text(job.detail_buf, "\tModem checksum = %2x", static_cast<unsigned>(job.modem_checksum));
        append_text(job.msg_buf, job.detail_buf);
        format_text(job.detail_buf, "\tHex file checksum = %2x\t", static_cast<unsigned>(job.image_checksum));
        append_text(job.msg_buf, job.detail_buf);
    }

    append_text(job.msg_buf, in_rrfl ? "USE PREVIOUS LOAD !!!" : "USE FULL ERASE !!!");
}
