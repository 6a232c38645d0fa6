#include "app/bounded_text.h"
#include "file_fixture.h"
#include "flash/image_stream.h"
#include "flash/nok_handling.h"
#include "modem/modem_types.h"

#include <string>
#include <vector>

using Strings = std::vector<std::string>;
namespace mb = platform::mb;

namespace {

class NokHandling : public FlashFileTest {};

TEST_F(NokHandling, TellsTheCodesApart)
{
    struct Case {
        const char* reply;
        Strings log;
        int result;
        const char* question;  // nullptr: no restart offered
        const char* status;
        int state;
        int retry_count;
        int read_next_line;
    } cases[] = {
        {"NOK2\r\n", {"FLASH: Failure to find COLON"}, 1, nullptr, "Modem could not fine COLON.", ST_SEND_LINE, 3, 0},
        {"NOK3", {"FLASH: Checksum Failure"}, 1, nullptr, "Modem reports solid Checksum Failure.", ST_SEND_LINE, 3, 0},
        {"NOK1", {"FLASH: Failure to Erase"}, 0, "Chip Failed to Erase Properly\nWould you like to Retry.",
         "Abandon Chip!!", ST_AWAIT_ACK, 7, 1},
        {"NOK2 NOK1", {"FLASH: Failure to Erase"}, 0, "Chip Failed to Erase Properly\nWould you like to Retry.",
         "Abandon Chip!!", ST_AWAIT_ACK, 7, 1},
        {"NOK4", {"FLASH: Failure to program a byte"}, 0, "Chip Failed to Program Properly\nWould you like to Retry.",
         "Abandon Chip!!", ST_AWAIT_ACK, 7, 1},
        {"NOK7", {}, 1, nullptr, "before", ST_AWAIT_ACK, 2, 1},
        {"NOK", {}, 1, nullptr, "before", ST_AWAIT_ACK, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        auto& d = fresh();
        job.port_open = true;
        job.job_state = ST_AWAIT_ACK;
        job.retry_count = 2;
        job.read_next_line = 1;
        copy_text(job.str_out1, "before");

        EXPECT_EQ(handle_nok(c.reply), c.result);

        Strings log{"FLASH: Got a NOK"};
        log.insert(log.end(), c.log.begin(), c.log.end());
        EXPECT_EQ(d.debug.lines(), log);
        EXPECT_STREQ(job.str_out1, c.status);
        EXPECT_EQ(job.job_state, c.state);
        EXPECT_EQ(job.retry_count, c.retry_count);
        EXPECT_EQ(job.read_next_line, c.read_next_line);
        EXPECT_TRUE(d.modem.immediate_chars.empty()) << "the restart question is answered No";
        ASSERT_EQ(d.window.boxes.size(), c.question ? 1u : 0u);
        if (c.question) {
            EXPECT_EQ(d.window.boxes[0].text, c.question);
            EXPECT_EQ(d.window.boxes[0].caption, "You May Have Cooked the Flash Chip!");
            EXPECT_EQ(d.window.boxes[0].flags, mb::YESNO);
        }
    }
}

// Resends of one line after NOK2/NOK3, on top of the time-outs that the
// acknowledgement wait has already counted for it. The caller ends the job
// once retry_count is above 6 after handle_nok.
TEST_F(NokHandling, ResendsShareTheLineCounter)
{
    struct Case {
        const char* name;
        int timeouts_before;
        const char* reply;
        int answers_until_limit;
        const char* status;
    } cases[] = {
        {"NOK2 only: seven sends", 0, "NOK2", 7, "Modem could not fine COLON."},
        {"four time-outs, then NOK3", 4, "NOK3", 3, "Modem reports solid Checksum Failure."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto& d = fresh();
        open_as_current(":0400000012345678E8\n:A1\n");
        ASSERT_EQ(send_image_line(1), 1);
        job.retry_count = c.timeouts_before;

        int answers = 0;
        for (;;) {
            ASSERT_LT(answers, 10);
            ASSERT_EQ(handle_nok(c.reply), 1);
            ++answers;
            if (job.retry_count > 6)
                break;
            ASSERT_EQ(job.job_state, ST_SEND_LINE);
            ASSERT_EQ(send_image_line(job.read_next_line), 1);
        }
        EXPECT_EQ(answers, c.answers_until_limit);
        EXPECT_EQ(job.retry_count, 7);
        EXPECT_STREQ(job.str_out1, c.status);
        EXPECT_EQ(d.modem.writes, Strings(answers, ":0400000012345678E8\r")) << "the same line every time";
    }
}

TEST_F(NokHandling, RestartNeedsYesAndAnAcceptedLoaderVersion)
{
    struct Case {
        const char* name;
        const char* reply;
        int answer;
        int modem_type;
        std::vector<fakes::Piece> answer_to_z;
        bool restarts;
    } cases[] = {
        {"no", "NOK1", mb::ANSWER_NO, MT_SERIAL, {{"Ver:4.4 OK", 0}}, false},
        {"4.4 on usb", "NOK1", mb::ANSWER_YES, MT_USB, {{"Ver:4.4\r\nOK\r\n", 0}}, true},
        {"4.4 after nok4", "NOK4", mb::ANSWER_YES, MT_ISA, {{"Ver:4.4 OK", 0}}, true},
        {"4.3 on serial", "NOK1", mb::ANSWER_YES, MT_SERIAL, {{"Ver:4.3 OK", 0}}, true},
        {"4.3 on usb", "NOK1", mb::ANSWER_YES, MT_USB, {{"Ver:4.3 OK", 0}}, false},
        {"silence", "NOK1", mb::ANSWER_YES, MT_SERIAL, {}, false},
        {"version after the ok", "NOK1", mb::ANSWER_YES, MT_SERIAL, {{"OK", 60}, {"Ver:4.4", 200}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto& d = fresh();
        open_as_current(":A1\n");
        job.port_open = true;
        job.modem_type = c.modem_type;
        job.job_state = ST_AWAIT_ACK;
        job.retry_count = 7;  // seven time-outs of this line before the NOK
        job.progress_done = 500;
        job.reply_timeout_s = 1;
        job.read_next_line = 0;
        d.window.answers.push_back(c.answer);
        for (const auto& piece : c.answer_to_z)
            d.modem.feed(piece.text, piece.delay_ms);

        EXPECT_EQ(handle_nok(c.reply), c.restarts ? 1 : 0);

        bool yes = c.answer == mb::ANSWER_YES;
        EXPECT_EQ(d.modem.immediate_chars, yes ? "Z" : "");
        EXPECT_EQ(d.debug.logged("FLASH: Sending Z"), yes);
        if (c.restarts) {
            EXPECT_EQ(job.job_state, ST_OPEN_IMAGE);
            EXPECT_EQ(d.window.status_texts, Strings{"Erasing the Flash Chip.\nPlease be Patient..."});
            EXPECT_EQ(job.reply_timeout_s, 180);
            EXPECT_EQ(job.progress_done, 0);
            EXPECT_EQ(job.read_next_line, 1);
            EXPECT_EQ(job.retry_count, 0) << "a restarted stream is not ended by the old line's resends";
            EXPECT_EQ(job.cur_file, nullptr);
        } else {
            EXPECT_EQ(job.job_state, ST_AWAIT_ACK);
            EXPECT_STREQ(job.str_out1, "Abandon Chip!!");
            EXPECT_EQ(job.retry_count, 7);
            EXPECT_TRUE(d.window.status_texts.empty());
            EXPECT_NE(job.cur_file, nullptr);
        }
    }
}

}  // namespace
