#include "app/flash_job.h"
#include "fakes.h"
#include "modem/load_compat.h"
#include "modem/modem_types.h"
#include "reply_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int EARLIER_CHECKSUM = 0x4321;  // left by a reply from an earlier port

struct ResloadCase {
    const char* name;
    ResloadVariant variant;
    std::string stale;  // an earlier reply behind the terminator
    std::string reply;
    int sector;
    int checksum;
    std::vector<std::string> log;
};

TEST(ReadResidentLoad, TakesSectorAndChecksumFromTheMarker)
{
    const ResloadCase cases[] = {
        {"rrfl_after_40", RESLOAD_RRFL, "", "ATI5\r\r\nI RRFL,40,1A2B\r\nOK", 64, 0x1A2B,
         {"Actual sector size = 0x40\n ", "Actual chksum = 0x1a2b\n "}},
        {"ffl_before_10", RESLOAD_FFL, "", "AT&&FFL\r\r\n1A2B,10,\r\nOK", 16, 0x1A2B,
         {"Actual sector = 0x10\n ", "Actual chksum = 0x1a2b\n "}},
        {"rrfl_40_wins_over_earlier_10", RESLOAD_RRFL, "", "RRFL,10,1111 ,40,2222 OK", 64, 0x2222,
         {"Actual sector size = 0x40\n ", "Actual chksum = 0x2222\n "}},
        {"ffl_40_wins_over_earlier_10", RESLOAD_FFL, "", "1111,10, 2222,40,OK", 64, 0x2222,
         {"Actual sector = 0x40\n ", "Actual chksum = 0x2222\n "}},
        {"small_checksum_is_padded", RESLOAD_RRFL, "", "RRFL,10,000f OK", 16, 0xF,
         {"Actual sector size = 0x10\n ", "Actual chksum = 0x   f\n "}},
        {"no_marker_keeps_checksum", RESLOAD_RRFL, "", "ATI5\r\r\nI RRFL\r\nOK", 0, EARLIER_CHECKSUM,
         {"Actual sector size = 0x 0\n "}},
        {"marker_behind_the_terminator_is_not_read", RESLOAD_FFL, "1A2B,40,\r\nOK", "OK\r\n", 0, EARLIER_CHECKSUM,
         {"Actual sector = 0x 0\n "}},
        // Too little text next to the marker: no checksum the modem could
        // have meant, and nothing outside the reply is read.
        {"ffl_marker_at_start", RESLOAD_FFL, "", ",40,\r\nOK", 64, MODEM_CHECKSUM_MISSING,
         {"Actual sector = 0x40\n ", "Actual chksum = 0xffffffff\n "}},
        {"ffl_marker_three_from_start", RESLOAD_FFL, "", "A2B,10,OK", 16, MODEM_CHECKSUM_MISSING,
         {"Actual sector = 0x10\n ", "Actual chksum = 0xffffffff\n "}},
        {"rrfl_reply_ends_within_checksum", RESLOAD_RRFL, "OK RRFL,40,1A2B", "OK RRFL,40,1A", 64,
         MODEM_CHECKSUM_MISSING, {"Actual sector size = 0x40\n ", "Actual chksum = 0xffffffff\n "}},
    };
    for (const ResloadCase& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Doubles d;
        job.modem_sector = 99;
        job.modem_checksum = EARLIER_CHECKSUM;
        set_reply_over_stale(c.stale, c.reply);

        read_resident_load(c.variant);
        EXPECT_EQ(job.modem_sector, c.sector);
        EXPECT_EQ(job.modem_checksum, c.checksum);
        EXPECT_EQ(d.debug.lines(), c.log);
    }
}

struct Loads {
    int image_sector;
    int types_match;
    int modem_sector;
    int image_checksum;
    int modem_checksum;
    int image_type = MT_ISA;
};

void set_loads(const Loads& loads)
{
    job.image_sector = loads.image_sector;
    job.types_match = loads.types_match;
    job.modem_sector = loads.modem_sector;
    job.image_checksum = loads.image_checksum;
    job.modem_checksum = loads.modem_checksum;
    job.image_type = loads.image_type;
}

TEST(LdsAreCompat, AllFourConditionsMustHold)
{
    const struct {
        const char* name;
        Loads loads;
        int compatible;
    } cases[] = {
        {"same_load", {64, 1, 64, 0x1234, 0x1234}, 1},
        {"image_without_rrfl", {0, 1, 0, 0x1234, 0x1234}, 0},
        {"accepted_type_mismatch", {64, 0, 64, 0x1234, 0x1234}, 0},
        {"sector_differs", {64, 1, 16, 0x1234, 0x1234}, 0},
        {"checksum_differs", {16, 1, 16, 0x1234, 0x1235}, 0},
        {"modem_checksum_missing", {16, 1, 16, 0, MODEM_CHECKSUM_MISSING}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Doubles d;
        set_loads(c.loads);
        EXPECT_EQ(ldsAreCompat(), c.compatible);
        EXPECT_EQ(d.debug.count("ldsAreCompat() FAILED"), c.compatible ? 0 : 1);
        EXPECT_EQ(d.debug.lines().size(), c.compatible ? 0u : 1u);
    }
}

TEST(BuildIncompatReport, OpeningFirstReasonAndAdvice)
{
    const struct {
        const char* name;
        int in_rrfl;
        Loads loads;
        const char* report;
    } cases[] = {
        {"no_rrfl_wins_over_everything", 1, {0, 0, 16, 1, 2}, "IN RRFl but file has NO RRFL\nUSE PREVIOUS LOAD !!!"},
        {"types_differ", 0, {64, 0, 16, 1, 2}, "Want to use RRFl but file is incompatible (ISA)\nUSE FULL ERASE !!!"},
        {"sector_mismatch", 0, {64, 1, 0, 1, 2},
         "Want to use RRFl but file has a sector size mismatch\nModem sector =  0\n Hex file sector = 40\n"
         "USE FULL ERASE !!!"},
        {"checksum_mismatch", 1, {16, 1, 16, 0x1234, 0xB},
         "IN RRFl but file has an RRFL checksum mismatch\n\tModem checksum =  b\tHex file checksum = 1234\t"
         "USE PREVIOUS LOAD !!!"},
        {"missing_modem_checksum", 0, {16, 1, 16, 0x1234, MODEM_CHECKSUM_MISSING},
         "Want to use RRFl but file has an RRFL checksum mismatch\n\tModem checksum = ffffffff\t"
         "Hex file checksum = 1234\tUSE FULL ERASE !!!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Doubles d;
        set_loads(c.loads);
        build_incompat_report(c.in_rrfl);
        EXPECT_STREQ(job.msg_buf, c.report);
    }
}

}  // namespace
