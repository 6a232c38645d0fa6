#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "fakes.h"
#include "modem/modem_types.h"
#include "modem/probe.h"
#include "platform/platform.h"
#include "serial/serial_port.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::mb::ANSWER_NO;
using platform::mb::ANSWER_YES;

const std::vector<std::string> DIALOGUE_TO_ATI5{"AAAAT\r", "AT\r", "AAAAT\r", "AT&&F\r", "ATI5\r"};

// Replies of an ISA modem, whose resident load is the image's (1234) or not (9999).
const std::string ATI5_NOT_IN_RRFL = "ATI5\r\r\nISA\r\nOK\r\n";
const std::string ATI5_RRFL_SAME = "ATI5\r\r\nI RRFL,40,1234\r\nOK\r\n";
const std::string ATI5_RRFL_OTHER = "ATI5\r\r\nI RRFL,40,9999\r\nOK\r\n";
const std::string FFL_SAME = "AT&&FFL\r\r\n1234,40,\r\nOK\r\n";
const std::string FFL_OTHER = "AT&&FFL\r\r\n9999,40,\r\nOK\r\n";
const std::string GO_REPLY = "AT&&FGO\r\r\nVer:4.3\r\nOK\r\n";
const std::string SILENT;

// The job as the image header left it: an ISA image with an RRFL of sector
// size 0x40 and checksum 0x1234, to be probed on COM3.
void prepare_job()
{
    job.com_port = 3;
    job.image_type = MT_ISA;
    job.image_sector = 0x40;
    job.image_checksum = 0x1234;
}

// A modem that answers the wake-up commands and "AT&&F\r" with "OK", and the
// later commands with the replies given (none where empty).
void modem_answers(fakes::FakeModem& modem, const std::string& ati5, const std::string& ffl = SILENT,
                   const std::string& go = SILENT)
{
    for (const char* command : {"AAAAT\r", "AT\r", "AT&&F\r"})
        modem.on(command, std::string(command) + "\r\nOK\r\n");
    for (const auto& [command, reply] : {std::pair{"ATI5\r", ati5}, {"AT&&FFL\r", ffl}, {"AT&&FGO\r", go}})
        if (!reply.empty())
            modem.on(command, reply);
}

std::vector<std::string> dialogue_then(const std::vector<std::string>& more)
{
    std::vector<std::string> all = DIALOGUE_TO_ATI5;
    all.insert(all.end(), more.begin(), more.end());
    return all;
}

// Every way out after identification.
TEST(Probe, DecisionTable)
{
    const struct {
        const char* name;
        std::string ati5, ffl, go;
        int answer;  // to the full-erase question; 0 when none is asked
        int result;
        std::vector<std::string> after_ati5;  // commands written after "ATI5\r"
        const char* box_caption;              // nullptr: no box
        bool port_open;
    } rows[] = {
        {"rrfl_incompatible", ATI5_RRFL_OTHER, FFL_SAME, GO_REPLY, 0, PROBE_ABANDON, {}, "INCOMPATIBLE LOAD", true},
        {"rrfl_compatible_go_ok", ATI5_RRFL_SAME, SILENT, GO_REPLY, 0, PROBE_RRFL_RUNNING, {"AT&&FGO\r"}, nullptr, true},
        {"rrfl_compatible_go_silent", ATI5_RRFL_SAME, SILENT, SILENT, 0, PROBE_NEXT_PORT, {"AT&&FGO\r"}, nullptr, false},
        {"no_rrfl_ffl_silent", ATI5_NOT_IN_RRFL, SILENT, GO_REPLY, 0, PROBE_FULL_LOAD, {"AT&&FFL\r"}, nullptr, true},
        {"no_rrfl_compatible", ATI5_NOT_IN_RRFL, FFL_SAME, GO_REPLY, 0, PROBE_ENTER_RRFL, {"AT&&FFL\r"}, nullptr, true},
        {"no_rrfl_incompatible_yes", ATI5_NOT_IN_RRFL, FFL_OTHER, GO_REPLY, ANSWER_YES, PROBE_FULL_LOAD, {"AT&&FFL\r"},
         "MUST USE FULL ERASE !!!", true},
        {"no_rrfl_incompatible_no", ATI5_NOT_IN_RRFL, FFL_OTHER, GO_REPLY, ANSWER_NO, PROBE_ABANDON, {"AT&&FFL\r"},
         "MUST USE FULL ERASE !!!", true},
        {"lower_case_rrfl_is_not_the_loader", "ATI5\r\r\nI rrfl,40,1234\r\nOK\r\n", FFL_SAME, GO_REPLY, 0,
         PROBE_ENTER_RRFL, {"AT&&FFL\r"}, nullptr, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fakes::Doubles d;
        prepare_job();
        modem_answers(d.modem, row.ati5, row.ffl, row.go);
        if (row.answer)
            d.window.answers.push_back(row.answer);

        EXPECT_EQ(probe_modem(), row.result);
        EXPECT_EQ(d.modem.writes, dialogue_then(row.after_ati5));
        EXPECT_EQ(d.modem.opened_names, std::vector<std::string>{"COM3"});
        EXPECT_EQ(job.modem_type, MT_ISA);
        EXPECT_EQ(job.port_open, row.port_open);
        EXPECT_EQ(d.modem.is_open, row.port_open);
        ASSERT_EQ(d.window.boxes.size(), row.box_caption ? 1u : 0u);
        if (row.box_caption) {
            EXPECT_EQ(d.window.boxes[0].caption, row.box_caption);
        }
        EXPECT_EQ(d.window.wait_cursor_calls, 1);
    }
}

TEST(Probe, SilentPortCostsFourFullWaits)
{
    fakes::Doubles d;
    prepare_job();
    std::vector<uint32_t> write_ticks;
    d.modem.on_write = [&](const std::string&) { write_ticks.push_back(d.clock.now); };
    uint32_t start = d.clock.now;

    EXPECT_EQ(probe_modem(), PROBE_NEXT_PORT);
    uint32_t end = d.clock.now;
    EXPECT_EQ(d.modem.writes, (std::vector<std::string>{"AAAAT\r", "AT\r", "AAAAT\r", "AT&&F\r"}));
    EXPECT_EQ(d.debug.count("Flash Comm Read Failed"), 4);
    EXPECT_TRUE(d.debug.logged("Not a Tervan Flashable modem!"));
    EXPECT_FALSE(job.port_open);
    EXPECT_EQ(d.modem.close_calls, 1);
    EXPECT_EQ(d.modem.clear_break_calls, 4);

    // On the fake clock: each wait runs its whole limit, a settle before each command.
    ASSERT_EQ(write_ticks.size(), 4u);
    write_ticks.push_back(end + PORT_SETTLE_MS);
    const uint32_t limits_ms[] = {2000, 1000, 1000, 1000};
    for (int i = 0; i < 4; ++i) {
        uint32_t gap = write_ticks[i + 1] - write_ticks[i];
        EXPECT_GT(gap, limits_ms[i] + PORT_SETTLE_MS) << i;
        EXPECT_LT(gap, limits_ms[i] + PORT_SETTLE_MS + 20) << i;
    }
    EXPECT_GE(write_ticks[0] - start, PORT_SETTLE_MS);
}

TEST(Probe, ModemSilentUntilFlashCommandStillPasses)
{
    fakes::Doubles d;
    prepare_job();
    d.modem.on("AT&&F\r", "OK\r\n");
    d.modem.on("ATI5\r", ATI5_NOT_IN_RRFL);
    d.modem.on("AT&&FFL\r", FFL_SAME);

    EXPECT_EQ(probe_modem(), PROBE_ENTER_RRFL);
    EXPECT_EQ(d.debug.count("Flash Comm Read Failed"), 3);
}

TEST(Probe, NoAnswerToAti5GivesUpThePort)
{
    fakes::Doubles d;
    prepare_job();
    modem_answers(d.modem, SILENT);
    EXPECT_EQ(probe_modem(), PROBE_NEXT_PORT);
    EXPECT_EQ(d.modem.writes, DIALOGUE_TO_ATI5);
    EXPECT_TRUE(d.debug.logged("Where's the ATI5???"));
    EXPECT_FALSE(job.port_open);
    EXPECT_FALSE(d.modem.is_open);
}

TEST(Probe, PortThatCannotBeOpenedOrConfiguredIsSkipped)
{
    fakes::Doubles d;
    prepare_job();
    d.modem.fail_open = true;
    EXPECT_EQ(probe_modem(), PROBE_NEXT_PORT);
    d.modem.fail_open = false;
    d.modem.fail_get_settings = true;
    EXPECT_EQ(probe_modem(), PROBE_NEXT_PORT);

    EXPECT_TRUE(d.modem.writes.empty());
    EXPECT_FALSE(job.port_open);
    EXPECT_FALSE(d.modem.is_open);
    EXPECT_EQ(d.window.wait_cursor_calls, 0);
}

TEST(Probe, FailedWriteIsLoggedAndTheWaitDecides)
{
    fakes::Doubles d;
    prepare_job();
    modem_answers(d.modem, ATI5_NOT_IN_RRFL, FFL_SAME);
    d.modem.fail_writes = 1;  // the first "AAAAT\r" is lost

    EXPECT_EQ(probe_modem(), PROBE_ENTER_RRFL);
    EXPECT_EQ(d.debug.count("COMM ERROR"), 1);
    EXPECT_EQ(d.debug.count("Flash Comm Read Failed"), 1);
}

TEST(Probe, DecliningTheTypeQuestionSendsNothingMore)
{
    fakes::Doubles d;
    prepare_job();
    modem_answers(d.modem, "ATI5\r\r\nUSB RRFL,40,1234\r\nOK\r\n", FFL_SAME, GO_REPLY);
    d.window.answers.push_back(ANSWER_NO);

    EXPECT_EQ(probe_modem(), PROBE_ABANDON);
    EXPECT_EQ(d.modem.writes, DIALOGUE_TO_ATI5);
    EXPECT_EQ(job.modem_type, MT_USB);
    EXPECT_TRUE(job.port_open);
}

// An accepted mismatch can never lead to the resident loader, even when the
// modem's load data equal the image's.
TEST(Probe, AcceptedTypeMismatchNeverUsesTheResidentLoader)
{
    const struct {
        const char* name;
        std::string ati5;
        int result;
        const char* second_box;
        bool report_in_box;  // otherwise on the second status line
    } cases[] = {
        {"in_rrfl", "ATI5\r\r\nUSB RRFL,40,1234\r\nOK\r\n", PROBE_ABANDON, "INCOMPATIBLE LOAD", true},
        {"not_in_rrfl", "ATI5\r\r\nUSB\r\nOK\r\n", PROBE_FULL_LOAD, "MUST USE FULL ERASE !!!", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Doubles d;
        prepare_job();
        modem_answers(d.modem, c.ati5, FFL_SAME);
        d.window.answers = {ANSWER_YES, ANSWER_YES};

        EXPECT_EQ(probe_modem(), c.result);
        EXPECT_EQ(job.types_match, 0);
        ASSERT_EQ(d.window.boxes.size(), 2u);
        EXPECT_EQ(d.window.boxes[1].caption, c.second_box);
        std::string report = c.report_in_box ? d.window.boxes[1].text : std::string(job.str_out2);
        EXPECT_NE(report.find("is incompatible (ISA)\n"), std::string::npos);
    }
}

TEST(Probe, IncompatibleRunningLoaderIsReported)
{
    fakes::Doubles d;
    prepare_job();
    modem_answers(d.modem, ATI5_RRFL_OTHER);
    EXPECT_EQ(probe_modem(), PROBE_ABANDON);
    ASSERT_EQ(d.window.boxes.size(), 1u);
    EXPECT_EQ(d.window.boxes[0].text,
              "IN RRFl but file has an RRFL checksum mismatch\n\tModem checksum = 9999\tHex file checksum = 1234\t"
              "USE PREVIOUS LOAD !!!");
    EXPECT_EQ(d.window.boxes[0].flags, platform::mb::ICON_EXCLAMATION);
    EXPECT_TRUE(d.debug.logged("WE ARE IN RRFL"));
}

TEST(Probe, RunningLoaderLeavesTheGoReplyForTheVersionCheck)
{
    fakes::Doubles d;
    prepare_job();
    modem_answers(d.modem, ATI5_RRFL_SAME, SILENT, GO_REPLY);
    EXPECT_EQ(probe_modem(), PROBE_RRFL_RUNNING);
    EXPECT_NE(std::string(job.rx_buf).find("Ver:4.3"), std::string::npos);
}

TEST(Probe, NoAnswerToFflIsAFullLoadWithoutAWord)
{
    fakes::Doubles d;
    prepare_job();
    modem_answers(d.modem, ATI5_NOT_IN_RRFL);
    copy_text(job.str_out1, "first");
    copy_text(job.str_out2, "second");

    EXPECT_EQ(probe_modem(), PROBE_FULL_LOAD);
    EXPECT_STREQ(job.str_out1, "first");
    EXPECT_STREQ(job.str_out2, "second");
    EXPECT_TRUE(d.window.status_texts.empty());
    EXPECT_TRUE(d.window.boxes.empty());
    EXPECT_EQ(d.modem.clear_break_calls, 7);  // five commands, identification, and the settle after
}

TEST(Probe, IncompatibleHeldLoaderAsksForFullErase)
{
    fakes::Doubles d;
    prepare_job();
    modem_answers(d.modem, ATI5_NOT_IN_RRFL, FFL_OTHER);
    const char* report = "Want to use RRFl but file has an RRFL checksum mismatch\n\tModem checksum = 9999\t"
                         "Hex file checksum = 1234\tUSE FULL ERASE !!!";

    EXPECT_EQ(probe_modem(), PROBE_ABANDON);
    EXPECT_STREQ(job.str_out1, "Found (ISA) Modem on COM3.");
    EXPECT_STREQ(job.str_out2, report);
    ASSERT_EQ(d.window.status_texts.size(), 1u);
    EXPECT_EQ(d.window.status_texts[0], std::string("Found (ISA) Modem on COM3.\n") + report);
    EXPECT_TRUE(d.debug.logged("MUST USE FULL ERASE - LOADS ARE INCOMPAT"));
    ASSERT_EQ(d.window.boxes.size(), 1u);
    EXPECT_EQ(d.window.boxes[0].text, "Do you wish to Erase the Entire Flash");
    EXPECT_EQ(d.window.boxes[0].flags,
              platform::mb::YESNO | platform::mb::ICON_EXCLAMATION | platform::mb::DEFBUTTON2);
}

}  // namespace
