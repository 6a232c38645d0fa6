// The running flash loader: erase time, record answers, restart and end, and
// what the modem is after a job.
#include "modem_rig.h"

#include <gtest/gtest.h>

using sim::ModemConfig;
using sim::ModemMode;

namespace {

// A modem holding the resident loader 40:1A2B, its loader started and the
// erase over.
ModemRig& start_resident_loader(ModemRig& rig)
{
    rig.say("AT&&FGO\r");
    rig.wait(rig.modem_erase_ms);
    return rig;
}

const std::string RECORD_AT_0 = ":0400000001020304F2";
const std::string RECORD_AT_0_OTHER = ":0400000005060708E2";
const std::string END_RECORD = ":00000001FF";

}  // namespace

TEST(ModemLoader, FirstLineWaitsForTheEraseThenEachRecordTakesItsTime)
{
    ModemConfig config = resident_modem();
    config.erase_ms = 5000;
    config.record_ms = 30;
    ModemRig rig(config);
    rig.say("AT&&FGO\r");
    EXPECT_EQ(rig.say(RECORD_AT_0 + "\r", 4999), "");
    EXPECT_EQ(rig.wait(1), "OK\r\n");
    EXPECT_EQ(rig.say(END_RECORD + "\r", 29), "");
    EXPECT_EQ(rig.wait(1), "OK\r\n");
}

TEST(ModemLoader, AnswersEachKindOfLine)
{
    struct Case {
        std::string line;
        const char* answer;
    };
    const Case cases[] = {
        {RECORD_AT_0, "OK\r\n"},
        {":0400000001020304F3", "NOK3\r\n"},  // checksum wrong
        {":04000000010203G4F2", "NOK3\r\n"},  // not a hexadecimal digit
        {":040000000102F2", "NOK3\r\n"},      // shorter than its byte count
        {"0400000001020304F2", "NOK2\r\n"},   // a record that lost its colon
        {"", ""},                             // the lone CR of an empty line
        {"; comment", ""},                    // no record at all: no answer
        {":020000021000EC", "OK\r\n"},
        {":0400000300001000E9", "OK\r\n"},
        {END_RECORD, "OK\r\n"},
    };
    for (const Case& c : cases) {
        ModemRig rig(resident_modem());
        start_resident_loader(rig);
        EXPECT_EQ(rig.say(c.line + "\r"), c.answer) << c.line;
    }
}

TEST(ModemLoader, ZErasesAgainAndAnswersVersionBeforeOk)
{
    ModemRig rig(resident_modem());
    start_resident_loader(rig);
    ASSERT_EQ(rig.say(RECORD_AT_0 + "\r"), "OK\r\n");
    ASSERT_EQ(rig.modem.flash().at(0), 0x01);

    EXPECT_EQ(rig.say("Z"), "Ver:4.4\r\nOK\r\n");
    EXPECT_EQ(rig.modem.flash().at(0), 0xFF);
    EXPECT_FALSE(rig.modem.flash().written(0));
    // Programming again after the new erase gives no fault.
    EXPECT_EQ(rig.say(RECORD_AT_0_OTHER + "\r", rig.modem_erase_ms), "OK\r\n");
}

TEST(ModemLoader, CompleteImageBecomesTheFirmwareAndItsResidentLoaderAfterY)
{
    ModemRig rig;  // no resident loader: a full load
    sim::ImageSpec spec;
    spec.type_letter = 'U';
    spec.sector = 0x10;
    spec.checksum = 0xC0DE;
    spec.size = 256;
    rig.say("at&&f" + END_RECORD + "\r");  // an empty loader starts at once
    ASSERT_EQ(rig.modem.mode(), ModemMode::Loader);
    std::string answers = rig.stream_image(sim::make_image_text(spec));
    EXPECT_EQ(count_of(answers, "OK\r\n"), 9u);  // 8 data records and the end record
    EXPECT_EQ(answers.size(), 9 * 4u);
    EXPECT_TRUE(rig.modem.flash().complete());

    EXPECT_EQ(rig.say("Y"), "");
    EXPECT_EQ(rig.modem.jobs_ended(), 1u);
    EXPECT_EQ(rig.modem.mode(), ModemMode::Command);
    EXPECT_FALSE(rig.modem.in_rrfl());
    EXPECT_EQ(rig.say("ATI5\r"), "ATI5\r\r\nU SIMULATED MODEM\r\n\r\nOK\r\n");
    EXPECT_EQ(rig.say("AT&&FFL\r"), "AT&&FFL\r\r\nC0DE,10,\r\n\r\nOK\r\n");
    // The next job finds the resident loader and starts it.
    EXPECT_EQ(rig.say("AT&&FGO\r"), "AT&&FGO\r\r\nVer:4.4\r\n\r\nOK\r\n");
}

TEST(ModemLoader, ProgrammingCutShortLeavesTheResidentLoaderOrADeadModem)
{
    struct Case {
        bool resident;
        bool by_closing;  // the flasher closes the line instead of sending "Y"
        ModemMode after;
    };
    for (const Case& c : {Case{true, false, ModemMode::Command}, Case{true, true, ModemMode::Command},
                          Case{false, false, ModemMode::Dead}, Case{false, true, ModemMode::Dead}}) {
        ModemRig rig(c.resident ? resident_modem() : ModemConfig{});
        rig.say(c.resident ? "AT&&FGO\r" : "at&&f" + END_RECORD + "\r");
        rig.say(RECORD_AT_0 + "\r", rig.modem_erase_ms);
        if (c.by_closing)
            EXPECT_TRUE(rig.modem.line_closed());
        else
            rig.say("Y");
        EXPECT_EQ(rig.modem.jobs_ended(), 1u);
        EXPECT_EQ(rig.modem.mode(), c.after);
        std::string expected = c.resident ? "ATI5\r\r\nI RRFL,40,1A2B\r\n\r\nOK\r\n" : "";
        EXPECT_EQ(rig.say("ATI5\r", 1000), expected);
    }
}

TEST(ModemLoader, LineClosedEndsAJobOnlyAfterTheFlasherTalked)
{
    ModemRig rig;
    EXPECT_FALSE(rig.modem.line_closed());
    rig.say("AT\r");
    EXPECT_TRUE(rig.modem.line_closed());
    EXPECT_FALSE(rig.modem.line_closed());
    EXPECT_EQ(rig.modem.jobs_ended(), 1u);
}

TEST(ModemLoader, ByteProgrammedTwiceWithDifferentValuesIsReportedAndSpoilsTheImage)
{
    ModemRig rig(resident_modem());
    start_resident_loader(rig);
    ASSERT_EQ(rig.say(RECORD_AT_0 + "\r"), "OK\r\n");
    EXPECT_EQ(rig.say(RECORD_AT_0 + "\r"), "OK\r\n");  // a resend of the same data is harmless
    EXPECT_EQ(rig.say(RECORD_AT_0_OTHER + "\r"), "NOK4\r\n");
    EXPECT_GT(rig.modem.flash().bad_bytes(), 0u);
    EXPECT_EQ(rig.say(END_RECORD + "\r"), "OK\r\n");
    EXPECT_FALSE(rig.modem.flash().complete());
    rig.say("Y");
    EXPECT_TRUE(rig.modem.in_rrfl());
}

TEST(ModemLoader, DataBeyondOneMegabyteFailsToProgram)
{
    ModemRig rig(resident_modem());
    start_resident_loader(rig);
    ASSERT_EQ(rig.say(":020000040010EA\r"), "OK\r\n");  // upper address 0x0010: from 0x100000
    EXPECT_EQ(rig.say(RECORD_AT_0 + "\r"), "NOK4\r\n");
    ASSERT_EQ(rig.say(":02000002F0000C\r"), "OK\r\n");  // segment 0xF000: 0xF0000
    EXPECT_EQ(rig.say(":04FFFC0001020304F7\r"), "OK\r\n");
    EXPECT_EQ(rig.modem.flash().at(0xFFFFF), 0x04);
}
