// Streaming the image through ST_SEND_LINE and ST_AWAIT_ACK against a scripted
// modem: acknowledgements, resends, error answers and the end of the image.
#include "app/bounded_text.h"
#include "app/job_step.h"
#include "app_fixture.h"

#include <string>
#include <vector>

using apptest::AppTest;
using apptest::hex_record;
using Strings = std::vector<std::string>;

namespace {

const std::string HEADER = apptest::header_record();
const std::string DATA = hex_record(0x0020, 0, std::vector<uint8_t>(32, 0x5A));
const std::string END = hex_record(0, 1, {});
const std::string SILENCE = "";

class JobStream : public AppTest {
protected:
    // Streams `image` from ST_OPEN_IMAGE with the modem answering the image
    // records in turn; stops at ST_TEARDOWN. Returns the ticks of the writes.
    std::vector<uint32_t> stream(const std::string& image, std::deque<std::string> answers,
                                 std::deque<uint32_t> answer_delays = {})
    {
        apptest::ModemScript s;
        s.image_answers = std::move(answers);
        s.image_answer_delays = std::move(answer_delays);
        serve(s);
        std::vector<uint32_t> write_ticks;
        auto answer = d.modem.on_write;
        d.modem.on_write = [this, answer, &write_ticks](const std::string& w) {
            write_ticks.push_back(d.clock.now);
            answer(w);
        };
        d.modem.open("COM4");
        job.port_open = true;
        copy_text(job.image_path, write_file("image.hex", image).c_str());
        job.job_state = ST_OPEN_IMAGE;
        EXPECT_TRUE(step_until(ST_TEARDOWN, 2000000));
        d.modem.on_write = answer;
        return write_ticks;
    }

    void expect_success(bool expected)
    {
        EXPECT_EQ(job_succeeded(), expected);
        EXPECT_EQ(d.debug.count("FLASH: Dnld successful"), expected ? 1 : 0);
    }

    const fakes::Box* only_box()
    {
        EXPECT_EQ(d.window.boxes.size(), 1u);
        return d.window.boxes.empty() ? nullptr : &d.window.boxes[0];
    }
};

TEST_F(JobStream, EveryRecordAcknowledgedEndsInSuccess)
{
    std::string image = HEADER + "\n" + DATA + "\n" + END + "\n";
    stream(image, {});
    // The final empty read is sent as a lone CR that gets no answer.
    EXPECT_EQ(image_writes(), (Strings{HEADER + "\r", DATA + "\r", END + "\r", "\r"}));
    expect_success(true);
    EXPECT_EQ(only_box()->caption, "    All Done...");
    EXPECT_EQ(d.window.progress_positions.back(), 100);
}

TEST_F(JobStream, ResendLimitsOfOneLine)
{
    struct Case {
        const char* name;
        std::deque<std::string> answers;  // to the header record, in turn
        int sends;
        const char* box_text;
        const char* caption;
        int timeout_resends;
    } cases[] = {
        {"silence only", std::deque<std::string>(8, SILENCE), 8, "Modem is not responding", "Error...", 7},
        {"NOK2 only", std::deque<std::string>(7, "NOK2\r\n"), 7, "Modem could not fine COLON.", "Flash Error", 0},
        {"four silences, then NOK3", {SILENCE, SILENCE, SILENCE, SILENCE, "NOK3\r\n", "NOK3\r\n", "NOK3\r\n"}, 7,
         "Modem reports solid Checksum Failure.", "Flash Error", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        stream(HEADER + "\n" + END + "\n", c.answers);
        EXPECT_EQ(image_writes(), Strings(c.sends, HEADER + "\r"));
        EXPECT_EQ(d.debug.count("FLASH: Timeout Resend"), c.timeout_resends);
        const fakes::Box* box = only_box();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text, c.box_text);
        EXPECT_EQ(box->caption, c.caption);
        EXPECT_EQ(d.debug.count("FLASH: Flash Open Comm Failed"), 1);
        expect_success(false);
    }
}

TEST_F(JobStream, OnlyTheFirstAnswerAfterTheEraseMayTake180Seconds)
{
    auto ticks = stream(HEADER + "\n" + END + "\n", {SILENCE, SILENCE, SILENCE});
    ASSERT_GE(ticks.size(), 4u);
    EXPECT_GT(ticks[1] - ticks[0], 180000u);
    EXPECT_LT(ticks[1] - ticks[0], 180100u);
    for (int i : {2, 3}) {  // the resends of the first line included
        EXPECT_GT(ticks[i] - ticks[i - 1], 1000u);
        EXPECT_LT(ticks[i] - ticks[i - 1], 1100u);
    }
    EXPECT_EQ(d.window.arrow_cursor_calls, 2) << "once when the long wait ends, once when done";
    expect_success(true);
}

TEST_F(JobStream, ErrorAnswersThatTheJobRecoversFrom)
{
    struct Case {
        const char* name;
        std::deque<std::string> answers;
        int header_sends;
        int timeout_resends;
    } cases[] = {
        {"NOK3 is no acknowledgement", {"NOK3\r\n"}, 2, 0},
        {"OK and NOK in one answer count as a NOK", {"OK\r\nNOK2\r\n"}, 2, 0},
        // An unknown code keeps waiting; the silence after it resends.
        {"unknown NOK code", {"NOK7\r\n"}, 2, 1},
        {"six NOK2 then OK", std::deque<std::string>(6, "NOK2\r\n"), 7, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        stream(HEADER + "\n" + END + "\n", c.answers);
        Strings expected(c.header_sends, HEADER + "\r");
        expected.insert(expected.end(), {END + "\r", "\r"});
        EXPECT_EQ(image_writes(), expected);
        EXPECT_EQ(d.debug.count("FLASH: Timeout Resend"), c.timeout_resends);
        expect_success(true);
    }
}

// The modem's answers carry no line number: an answer that comes after the
// line time-out, followed by the answer to the resend, must not acknowledge
// the next line, or every later answer (an error report too) lands one line
// late and a record that was refused ends up counted as programmed.
TEST_F(JobStream, LateAnswersAreNotChargedToTheNextLine)
{
    const std::string DATA2 = hex_record(0x0040, 0, std::vector<uint8_t>(32, 0xA5));
    struct Case {
        const char* name;
        std::deque<std::string> answers;  // to the records as sent, in turn
        std::deque<uint32_t> delays;      // ms after each record
        Strings writes;
        int late_taken;
        int late_lost;
    } cases[] = {
        {"late OK, then the resend's OK, then NOK3 on the next line",
         {"OK\r\n", "OK\r\n", "OK\r\n", "NOK3\r\n"}, {0, 1200, 300},
         {HEADER, DATA, DATA, DATA2, DATA2, END}, 1, 0},
        {"late NOK3, then the answers to both resends",
         {"OK\r\n", "NOK3\r\n", "OK\r\n", "OK\r\n"}, {0, 1200, 300, 200},
         {HEADER, DATA, DATA, DATA, DATA2, END}, 1, 0},
        {"the first send lost, the resend answered",
         {"OK\r\n", SILENCE, "OK\r\n"}, {},
         {HEADER, DATA, DATA, DATA2, END}, 0, 1},
        {"two time-outs, both late answers come",
         {"OK\r\n", "OK\r\n", "OK\r\n", "OK\r\n", "NOK2\r\n"}, {0, 2200, 1300, 400},
         {HEADER, DATA, DATA, DATA, DATA2, DATA2, END}, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        stream(HEADER + "\n" + DATA + "\n" + DATA2 + "\n" + END + "\n", c.answers, c.delays);
        Strings expected;
        for (const auto& w : c.writes)
            expected.push_back(w + "\r");
        expected.push_back("\r");
        EXPECT_EQ(image_writes(), expected);
        EXPECT_EQ(d.debug.count("FLASH: Late answer taken"), c.late_taken);
        EXPECT_EQ(d.debug.count("FLASH: Late answer lost"), c.late_lost);
        expect_success(true);
    }
}

TEST_F(JobStream, UnknownNokKeepsTheWaitWithAFreshStart)
{
    apptest::ModemScript s;
    s.image_answers = {"NOK9\r\n"};
    serve(s);
    d.modem.open("COM4");
    job.port_open = true;
    copy_text(job.image_path, write_file("image.hex", HEADER + "\n").c_str());
    job.job_state = ST_OPEN_IMAGE;
    job_step();
    job_step();  // the header is sent
    ASSERT_EQ(job.job_state, ST_AWAIT_ACK);
    job_step();  // the NOK is read
    EXPECT_EQ(job.job_state, ST_AWAIT_ACK);
    EXPECT_EQ(d.debug.count("FLASH: Got a NOK"), 1);
    EXPECT_EQ(job.reply_timeout_s, 1);
    EXPECT_LT(d.clock.now - job.wait_start_tick, 5u);

    // Every further character brings the same NOK back to the handling.
    d.modem.feed("\r");
    job_step();
    EXPECT_EQ(job.job_state, ST_AWAIT_ACK);
    EXPECT_EQ(d.debug.count("FLASH: Got a NOK"), 2);
}

// A record read together with the end of the file is answered like any other:
// a NOK or silence on it must never end as a success.
TEST_F(JobStream, LastRecordWithoutLineEndAwaitsItsAnswer)
{
    struct Case {
        const char* name;
        std::deque<std::string> answers;  // header first, then the last record
        int last_sends;
        bool success;
    } cases[] = {
        {"acknowledged", {}, 1, true},
        {"NOK3 then OK", {"OK\r\n", "NOK3\r\n"}, 2, true},
        {"late answer: resent", {"OK\r\n", SILENCE}, 2, true},
        {"silence", {"OK\r\n", SILENCE, SILENCE, SILENCE, SILENCE, SILENCE, SILENCE, SILENCE, SILENCE}, 8, false},
        {"NOK2 only", {"OK\r\n", "NOK2\r\n", "NOK2\r\n", "NOK2\r\n", "NOK2\r\n", "NOK2\r\n", "NOK2\r\n", "NOK2\r\n"},
         7, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        stream(HEADER + "\n" + END, c.answers);
        Strings expected{HEADER + "\r"};
        expected.insert(expected.end(), c.last_sends, END + "\r");
        EXPECT_EQ(image_writes(), expected);
        expect_success(c.success);
        EXPECT_EQ(d.window.find_box("    All Done...") != nullptr, c.success);
    }
}

TEST_F(JobStream, LastLineWithoutColonEndsWithoutAnAnswer)
{
    stream(HEADER + "\n" + "trailer", {});
    EXPECT_EQ(image_writes(), (Strings{HEADER + "\r"}));
    EXPECT_EQ(d.modem.writes.back(), "trailer\r");
    expect_success(true);
}

TEST_F(JobStream, RestartOnTheLastRecordStreamsTheWholeImageAgain)
{
    d.window.answers = {platform::mb::ANSWER_YES};
    stream(HEADER + "\n" + DATA + "\n" + END, {"OK\r\n", "OK\r\n", "NOK4\r\n", SILENCE});
    // After the restart the first record waits for its answer again (its
    // first answer comes late); the image is not done after one line.
    Strings once{HEADER + "\r", DATA + "\r", END + "\r"};
    Strings expected = once;
    expected.insert(expected.end(), HEADER + "\r");
    expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(image_writes(), expected);
    EXPECT_EQ(d.modem.immediate_chars, "Z");
    ASSERT_NE(d.window.find_box("You May Have Cooked the Flash Chip!"), nullptr);
    expect_success(true);
}

}  // namespace
