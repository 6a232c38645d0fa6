#include "file_fixture.h"
#include "flash/loader_download.h"

#include <string>
#include <vector>

using Strings = std::vector<std::string>;

namespace {

class LoaderDownload : public FlashFileTest {
protected:
    // Calls flash_download_loader until it reports the end of the file (or
    // max_calls); returns each result.
    std::vector<int> run(int max_calls = 20)
    {
        std::vector<int> results;
        while (static_cast<int>(results.size()) < max_calls) {
            results.push_back(flash_download_loader());
            if (results.back() == 1 || job.job_state != ST_DOWNLOAD_LOADER)
                break;
        }
        return results;
    }

    // Fresh doubles, in the state the download runs in.
    fakes::Doubles& start()
    {
        fakes::Doubles& d = fresh();
        job.job_state = ST_DOWNLOAD_LOADER;
        return d;
    }
};

TEST_F(LoaderDownload, FramesRecordsAndFollowsTheTextRules)
{
    struct Case {
        const char* name;
        std::string file;
        Strings writes;
        std::vector<int> results;
    } cases[] = {
        {"lf ends", ":A1\n:B2\n", {"at&&f:A1\r", "at&&f:B2\r"}, {0, 0, 1}},
        {"cr lf ends", ":A1\r\n:B2\r\n", {"at&&f:A1\r", "at&&f:B2\r"}, {0, 0, 1}},
        {"no final line end", ":A1\n:B2", {"at&&f:A1\r", "at&&f:B2\r"}, {0, 1}},
        {"lone cr is part of the record", ":A1\rB2\n", {"at&&f:A1\rB2\r"}, {0, 1}},
        {"ctrl-z ends the file", ":A1\n\x1A:B2\n", {"at&&f:A1\r"}, {0, 1}},
        {"lines without colon are skipped", "note\n\n:A1\n", {"at&&f:A1\r"}, {0, 0, 0, 1}},
        {"empty file", "", {}, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto& d = start();
        d.modem.on("", "OK");
        open_as_current(c.file);
        EXPECT_EQ(run(), c.results);
        EXPECT_EQ(d.modem.writes, c.writes);
        EXPECT_EQ(job.cur_file, nullptr) << "closed at the end";
        EXPECT_EQ(job.lines_sent, static_cast<int>(c.results.size()));
        EXPECT_EQ(job.job_state, ST_DOWNLOAD_LOADER);
    }
}

TEST_F(LoaderDownload, CountsRecordCharactersAsProgress)
{
    auto& d = start();
    d.modem.on("", "OK");
    open_as_current(":A1\nskip\n:B234\r\n");
    run();
    EXPECT_EQ(job.progress_done, 3 + 5);
}

TEST_F(LoaderDownload, AnyReplyWithOkAcknowledgesTheLine)
{
    auto& d = start();
    d.modem.on("", "NOK2");
    open_as_current(":A1\n:B2\n");
    EXPECT_EQ(run(), (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(d.modem.writes.size(), 2u);
}

TEST_F(LoaderDownload, UnansweredLineEndsTheDownloadWithTheFileOpen)
{
    auto& d = start();
    open_as_current(":A1\n:B2\n");
    EXPECT_EQ(flash_download_loader(), 0);
    EXPECT_EQ(job.job_state, ST_NOT_RESPONDING);
    EXPECT_NE(job.cur_file, nullptr);
    EXPECT_EQ(job.progress_done, 0);
    EXPECT_TRUE(d.debug.logged("flash_download_loader: Timed out"));
    EXPECT_TRUE(d.debug.logged("#lines loaded = 1 "));
    EXPECT_TRUE(d.debug.logged("FLASH: Flash loader code download failed"));
}

TEST_F(LoaderDownload, FailedWriteIsLoggedAndTheWaitStillDecides)
{
    auto& d = start();
    d.modem.fail_writes = 1;
    d.modem.feed("OK");
    open_as_current(":A1\n:B2\n");
    EXPECT_EQ(flash_download_loader(), 0);
    EXPECT_TRUE(d.debug.logged("Com Error= 0 "));
    EXPECT_EQ(job.job_state, ST_DOWNLOAD_LOADER);
    EXPECT_EQ(job.progress_done, 3);
}

TEST_F(LoaderDownload, RefreshesTheStatusEverySixteenthLine)
{
    struct Case {
        bool size_known;
        const char* status;
    } cases[] = {
        // 15 records of 11 characters acknowledged out of 17 lines of 12 bytes.
        {true, "Downloading flashldr.hex.\n<80%>  Complete."},
        {false, "Downloading flashldr.hex.\n<0%>  Complete."},
    };
    std::string file;
    for (int i = 0; i < 17; ++i)
        file += ":0123456789\n";
    for (const auto& c : cases) {
        auto& d = start();
        d.modem.on("", "OK");
        open_as_current(file);
        if (!c.size_known)
            job.progress_total = 0;
        for (int i = 0; i < 15; ++i)
            flash_download_loader();
        EXPECT_TRUE(d.window.status_texts.empty());
        flash_download_loader();
        ASSERT_EQ(d.window.status_texts.size(), 1u);
        EXPECT_EQ(d.window.status_texts[0], c.status);
    }
}

TEST_F(LoaderDownload, LongestRecordFillsTheBufferAndOneMoreIsNeverSent)
{
    auto& d = start();
    std::string longest = ":" + std::string(120, '7');
    d.modem.on("", "OK");
    open_as_current(longest + "\n" + longest + "8\n:A1\n");

    EXPECT_EQ(flash_download_loader(), 0);
    ASSERT_EQ(d.modem.writes.size(), 1u);
    EXPECT_EQ(d.modem.writes[0], "at&&f" + longest + "\r");
    EXPECT_EQ(job.line_buf[LINE_BUF_SIZE - 1], '\n');

    EXPECT_EQ(flash_download_loader(), 0);
    EXPECT_EQ(d.modem.writes.size(), 1u) << "nothing of the long line is sent";
    EXPECT_EQ(job.job_state, ST_TEARDOWN);
    EXPECT_EQ(job.cur_file, nullptr);
    ASSERT_EQ(d.window.boxes.size(), 1u);
    EXPECT_EQ(d.window.boxes[0].text, "Line 2 of flashldr.hex is too long for the modem (more than 121 characters).");
    EXPECT_EQ(d.window.boxes[0].caption, "Line Too Long");
    EXPECT_EQ(d.window.boxes[0].flags, platform::mb::ICON_EXCLAMATION);
}

}  // namespace
