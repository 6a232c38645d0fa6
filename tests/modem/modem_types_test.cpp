#include "app/flash_job.h"
#include "fakes.h"
#include "modem/modem_types.h"
#include "platform/platform.h"
#include "reply_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::mb::ANSWER_NO;
using platform::mb::ANSWER_YES;

constexpr int UNTOUCHED = 7;  // a types_match value no call writes

TEST(ModemTypeName, NamesTheFiveTypesAndNothingElse)
{
    const std::pair<int, const char*> cases[] = {
        {0, "unknown type"}, {1, "Central Site"}, {2, "ISA"}, {3, "Serial"},
        {4, "USB"},          {5, "PC Card"},      {6, "unknown type"}, {-1, "unknown type"},
    };
    for (const auto& [code, name] : cases)
        EXPECT_STREQ(modem_type_name(code), name) << code;
}

struct IdentifyCase {
    const char* name;
    std::string reply;
    int image_type;
    int modem_type;
    const char* candidate_line;  // nullptr: no candidate was scanned for
};

// Types that match the image: no question, types_match 1.
TEST(IdentifyModem, FindsTheTypeLetter)
{
    const IdentifyCase cases[] = {
        {"letter_at_7", "ATI5\r\r\nCentral Site\r\nOK\r\n", MT_CENTRAL_SITE, MT_CENTRAL_SITE, nullptr},
        {"lower_case_letter_at_7", "ATI5\r\r\ncentral\r\nOK", MT_CENTRAL_SITE, MT_CENTRAL_SITE, nullptr},
        {"leading_line_end", "\r\nATI5\r\r\nUSB\r\nOK\r\n", MT_USB, MT_USB, "Got ActMod Candidate [55] try again"},
        {"lower_case_echo", "\r\nati5\r\r\nUSB\r\nOK\r\n", MT_USB, MT_USB, "Got ActMod Candidate [55] try again"},
        {"mixed_case_echo", "\r\naTi5\r\r\npc card\r\nOK", MT_PC_CARD, MT_PC_CARD, "Got ActMod Candidate [70] try again"},
    };
    for (const IdentifyCase& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Doubles d;
        job.image_type = c.image_type;
        set_reply(c.reply);

        EXPECT_EQ(identify_modem(), 1);
        EXPECT_EQ(job.modem_type, c.modem_type);
        EXPECT_EQ(job.types_match, 1);
        EXPECT_TRUE(d.window.boxes.empty());
        EXPECT_STREQ(job.str_out2, "");
        std::vector<std::string> expected_log;
        if (c.candidate_line)
            expected_log.push_back(c.candidate_line);
        EXPECT_EQ(d.debug.lines(), expected_log);
        EXPECT_EQ(d.modem.clear_break_calls, 1);  // the settle at the end
    }
}

// A reply that names no type is dumped to the log, then the user is asked.
TEST(IdentifyModem, UnknownAnswerIsDumpedAndAsked)
{
    struct {
        const char* name;
        std::string reply;
        std::vector<std::string> log;
    } cases[] = {
        {"candidate_names_no_type",
         "\xC9\r\nbad reply\r\nOK",
         {"Got ActMod Candidate [ffffffc9] try again", "Actual Modem type is Unknown!!!", "ffffffc9", "d", "a", "62", "61",
          "64", "20", "72", "65", "70", "6c", "79", "d", "a", "4f", "4b", "\xC9\r\nbad reply\r\nOK"}},
        {"only_echoes_and_line_ends",
         "\r\n\r\nATI5\r\n\r\nATI5\r\nOK",
         {"Actual Modem type is Unknown!!!", "d", "a", "d", "a", "41", "54", "49", "35", "d", "a", "d", "a", "41", "54",
          "49", "35", "\r\n\r\nATI5\r\n\r\nATI5\r\nOK"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Doubles d;
        job.image_type = MT_ISA;
        job.types_match = UNTOUCHED;
        set_reply(c.reply);

        EXPECT_EQ(identify_modem(), 0);  // unscripted question answers No
        EXPECT_EQ(job.modem_type, MT_UNKNOWN);
        EXPECT_EQ(job.types_match, UNTOUCHED);
        EXPECT_EQ(d.debug.lines(), c.log);
        ASSERT_EQ(d.window.boxes.size(), 1u);
        EXPECT_EQ(d.window.boxes[0].caption, "INCOMPATIBLE : File=ISA;  Modem=unknown type");
    }
}

TEST(IdentifyModem, MismatchQuotesTheReplyAndAsks)
{
    struct {
        const char* name;
        int image_type;
        int answer;
        int result;
        int types_match;
        const char* caption;
    } cases[] = {
        {"yes_uses_it", MT_ISA, ANSWER_YES, 1, 0, "INCOMPATIBLE : File=ISA;  Modem=USB"},
        {"no_declines", MT_ISA, ANSWER_NO, 0, UNTOUCHED, "INCOMPATIBLE : File=ISA;  Modem=USB"},
        {"image_without_type_asks_too", MT_UNKNOWN, ANSWER_YES, 1, 0, "INCOMPATIBLE : File=unknown type;  Modem=USB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Doubles d;
        job.com_port = 3;
        job.image_type = c.image_type;
        job.types_match = UNTOUCHED;
        d.window.answers.push_back(c.answer);
        set_reply("ATI5\r\r\nUSB modem\r\nOK\r\n");

        EXPECT_EQ(identify_modem(), c.result);
        EXPECT_EQ(job.modem_type, MT_USB);
        EXPECT_EQ(job.types_match, c.types_match);
        EXPECT_STREQ(job.str_out2, "ATI5 on COM3 gives USB modem\r\nOK\r\n");
        ASSERT_EQ(d.window.status_texts.size(), 1u);
        ASSERT_EQ(d.window.boxes.size(), 1u);
        EXPECT_EQ(d.window.boxes[0].text, "Do You wish to use it ?");
        EXPECT_EQ(d.window.boxes[0].caption, c.caption);
        EXPECT_EQ(d.window.boxes[0].flags, platform::mb::YESNO | platform::mb::DEFBUTTON2);
    }
}

// The buffer still holds an earlier, longer reply behind the terminator: its
// type letter at position 7 must not pass for this reply's.
TEST(IdentifyModem, ShortReplyReadsNothingBehindItsEnd)
{
    fakes::Doubles d;
    job.com_port = 2;
    job.image_type = MT_ISA;
    set_reply_over_stale("ATI5\r\r\nISA modem\r\nOK\r\n", "OK\r\n");

    EXPECT_EQ(identify_modem(), 0);
    EXPECT_EQ(job.modem_type, MT_UNKNOWN);
    std::vector<std::string> expected{"Got ActMod Candidate [4f] try again", "Actual Modem type is Unknown!!!",
                                      "4f", "4b", "d", "a"};
    expected.insert(expected.end(), 12, "0");
    expected.push_back("OK\r\n");
    EXPECT_EQ(d.debug.lines(), expected);
    EXPECT_STREQ(job.str_out2, "ATI5 on COM2 gives ");
}

TEST(IdentifyModem, LongReplyIsCutToTheStatusLine)
{
    fakes::Doubles d;
    job.com_port = 4;
    job.image_type = MT_ISA;
    std::string reply = "ATI5\r\r\nU" + std::string(3000, 'x') + "OK";
    set_reply(reply);

    identify_modem();
    std::string expected = ("ATI5 on COM4 gives " + reply.substr(7)).substr(0, STATUS_LINE_SIZE - 1);
    EXPECT_EQ(std::string(job.str_out2), expected);
}

}  // namespace
