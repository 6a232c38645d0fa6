#include "app/bounded_text.h"
#include "file_fixture.h"
#include "flash/image_stream.h"

#include <algorithm>
#include <string>
#include <vector>

using Strings = std::vector<std::string>;

namespace {

// A 32-byte data record at load address 2340 and a 16-byte one at FFFF.
const std::string DATA_20_AT_2340 = ":20234000" + std::string(64, '0') + "9D";
const std::string DATA_10_AT_FFFF = ":10FFFF00" + std::string(32, '0') + "F2";

class ImageStream : public FlashFileTest {
protected:
    // Sends new lines until the end of the image (or max_calls); returns
    // each result.
    std::vector<int> send_all(int max_calls = 20)
    {
        std::vector<int> results;
        while (!job.image_eof && static_cast<int>(results.size()) < max_calls)
            results.push_back(send_image_line(1));
        return results;
    }
};

TEST_F(ImageStream, FramesLinesAndFollowsTheTextRules)
{
    struct Case {
        const char* name;
        std::string file;
        Strings writes;
        std::vector<int> results;
    } cases[] = {
        {"lf ends: the end is a lone cr", ":A1\n:B2\n", {":A1\r", ":B2\r", "\r"}, {1, 1, 1}},
        {"cr lf ends", ":A1\r\n:B2\r\n", {":A1\r", ":B2\r", "\r"}, {1, 1, 1}},
        {"no final line end", ":A1\n:B2", {":A1\r", ":B2\r"}, {1, 1}},
        {"lone cr splits a line", ":A1\rB2\n", {":A1\r", "B2\r", "\r"}, {1, 0, 1}},
        {"empty line", ":A1\n\n:B2\n", {":A1\r", "\r", ":B2\r", "\r"}, {1, 0, 1, 1}},
        {"ctrl-z ends the file", ":A1\n\x1A:B2\n", {":A1\r", "\r"}, {1, 1}},
        {"empty file", "", {"\r"}, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto& d = fresh();
        open_as_current(c.file);
        EXPECT_EQ(send_all(), c.results);
        EXPECT_EQ(d.modem.writes, c.writes);
        EXPECT_EQ(d.debug.count("FLASH: Got EOF"), 1);
        int unanswered = static_cast<int>(std::count(c.results.begin(), c.results.end(), 0));
        EXPECT_EQ(d.debug.count("FLASH: No colon!"), unanswered);
        EXPECT_EQ(job.lines_sent, static_cast<int>(c.results.size()));
        EXPECT_EQ(job.job_state, 0) << "the sender itself stores no state";
    }
}

TEST_F(ImageStream, LastRecordWithoutLineEndStaysReadyForAResend)
{
    auto& d = fresh();
    open_as_current(":A1\n:B2");
    send_all();
    ASSERT_EQ(job.image_eof, 1);
    EXPECT_EQ(job.line_len, 4);
    EXPECT_EQ(std::string(job.line_buf, 4), ":B2\r");
    EXPECT_EQ(static_cast<unsigned char>(job.line_buf[4]), 0xFF) << "end mark behind the carriage return";

    EXPECT_EQ(send_image_line(0), 1);
    EXPECT_EQ(d.modem.writes.back(), ":B2\r");
    EXPECT_EQ(d.modem.writes.size(), 3u);
}

TEST_F(ImageStream, ResendWritesTheSameCharactersAndChangesNothing)
{
    auto& d = fresh();
    open_as_current(":020000021000EC\n:A1\n");
    ASSERT_EQ(send_image_line(1), 1);
    job.retry_count = 3;
    FlashJob before = job;

    EXPECT_EQ(send_image_line(0), 1);
    EXPECT_EQ(d.modem.writes, (Strings{":020000021000EC\r", ":020000021000EC\r"}));
    EXPECT_EQ(job.retry_count, 3);
    EXPECT_EQ(job.lines_sent, before.lines_sent);
    EXPECT_EQ(job.addr_high, before.addr_high);
    EXPECT_EQ(job.addr_low, before.addr_low);
    EXPECT_TRUE(d.window.status_texts.empty());

    EXPECT_EQ(send_image_line(1), 1);
    EXPECT_EQ(job.retry_count, 0) << "a new line starts a new count";
}

TEST_F(ImageStream, AddressFieldsComeFromTwoAndThirtyTwoByteRecords)
{
    struct Case {
        const char* name;
        std::string line;
        int addr_high;
        int addr_low;
    } cases[] = {
        {"02 record: first data digit", ":020000021000EC", 1, 0x5555},
        {"02 record: 'A' is not a hex digit", ":02000002A000EC", 17, 0x5555},
        {"02 record of exactly ten characters", ":020000029", 9, 0x5555},
        {"nine characters are never examined", ":02000002", 5, 0x5555},
        {"20 record: load address", DATA_20_AT_2340, 5, 0x2340},
        {"10 record changes nothing", DATA_10_AT_FFFF, 5, 0x5555},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        open_as_current(c.line + "\n");
        job.addr_high = 5;
        job.addr_low = 0x5555;
        send_image_line(1);
        EXPECT_EQ(job.addr_high, c.addr_high);
        EXPECT_EQ(job.addr_low, c.addr_low);
    }
}

TEST_F(ImageStream, StatusShowsAddressAndPercentJustBeforeTheSeventhLine)
{
    struct Case {
        const char* first_line;
        const char* address;
    } cases[] = {
        {":020000021000EC", "0x12340"},
        {":02000002A000EC", "0x112340"},
    };
    for (const auto& c : cases) {
        auto& d = fresh();
        std::string file = std::string(c.first_line) + "\n" + DATA_20_AT_2340 + "\n";
        for (int i = 0; i < 5; ++i)
            file += DATA_10_AT_FFFF + "\n";
        open_as_current(file);
        for (int i = 0; i < 6; ++i)
            send_image_line(1);
        EXPECT_TRUE(d.window.status_texts.empty());
        job.progress_done = job.progress_total / 2;
        send_image_line(1);
        ASSERT_EQ(d.window.status_texts.size(), 1u);
        EXPECT_EQ(d.window.status_texts[0], std::string("Programming the Flash\n<50%>  Complete. Address ") + c.address);
    }
}

TEST_F(ImageStream, StatusRefreshesEverySixtyFourLines)
{
    auto& d = fresh();
    std::string file;
    for (int i = 0; i < 80; ++i)
        file += ":00000001FF\n";
    open_as_current(file);
    job.progress_total = 0;  // size unknown: the percentage reads 0
    std::vector<int> refreshed_at;
    for (int line = 1; line <= 80; ++line) {
        size_t shown = d.window.status_texts.size();
        send_image_line(1);
        if (d.window.status_texts.size() != shown)
            refreshed_at.push_back(line);
    }
    EXPECT_EQ(refreshed_at, (std::vector<int>{7, 71}));
    EXPECT_EQ(d.window.status_texts.back(), "Programming the Flash\n<0%>  Complete. Address 0x00000");
}

TEST_F(ImageStream, WritesUpToFiveTimesBeforeGivingUp)
{
    struct Case {
        int failing_writes;
        int result;
        size_t writes;
        int state;
    } cases[] = {
        {4, 1, 5, 0},
        {5, 0, 5, ST_TEARDOWN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing_writes);
        auto& d = fresh();
        open_as_current(":A1\n");
        d.modem.fail_writes = c.failing_writes;
        EXPECT_EQ(send_image_line(1), c.result);
        EXPECT_EQ(d.modem.writes, Strings(c.writes, ":A1\r"));
        EXPECT_EQ(job.job_state, c.state);
        bool gave_up = c.result == 0;
        EXPECT_EQ(d.debug.logged("Com Error= 0 "), gave_up);
        ASSERT_EQ(d.window.boxes.size(), gave_up ? 1u : 0u);
        if (gave_up) {
            EXPECT_EQ(d.window.boxes[0].text, "Failed to write line to Modem");
            EXPECT_EQ(d.window.boxes[0].caption, "Solid CommError");
            EXPECT_EQ(d.window.boxes[0].flags, platform::mb::ICON_EXCLAMATION);
        }
    }
}

TEST_F(ImageStream, LongestLineFillsTheBufferAndOneMoreIsNeverSent)
{
    auto& d = fresh();
    std::string longest = ":" + std::string(125, '7');
    std::string path = write_file(longest + "\n" + longest + "8");
    copy_text(job.image_path, path.c_str());
    job.cur_file = text_open(path.c_str());

    EXPECT_EQ(send_image_line(1), 1);
    ASSERT_EQ(d.modem.writes.size(), 1u);
    EXPECT_EQ(d.modem.writes[0], longest + "\r");
    EXPECT_EQ(job.line_buf[LINE_BUF_SIZE - 1], '\n');

    EXPECT_EQ(send_image_line(1), 0);
    EXPECT_EQ(d.modem.writes.size(), 1u) << "nothing of the long line is sent";
    EXPECT_EQ(job.job_state, ST_TEARDOWN);
    EXPECT_EQ(job.image_eof, 0);
    EXPECT_EQ(job.cur_file, nullptr);
    ASSERT_EQ(d.window.boxes.size(), 1u);
    EXPECT_EQ(d.window.boxes[0].text, "Line 2 of fixture.hex is too long for the modem (more than 126 characters).");
    EXPECT_EQ(d.window.boxes[0].caption, "Line Too Long");
}

}  // namespace
