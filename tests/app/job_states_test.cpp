// Single job states, with job fields set directly: each way out of a state,
// with the boxes, status lines and log lines it produces.
#include "app/bounded_text.h"
#include "app/job_step.h"
#include "app/main_loop.h"
#include "app_fixture.h"
#include "flash/overlong_line.h"
#include "modem/modem_types.h"
#include "platform/text_file.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using apptest::AppTest;
using fakes::Box;
using Strings = std::vector<std::string>;
namespace mb = platform::mb;

namespace {

void expect_box(const fakes::ScriptedWindow& w, const std::string& text, const std::string& caption, unsigned flags)
{
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.boxes[0].text, text);
    EXPECT_EQ(w.boxes[0].caption, caption);
    EXPECT_EQ(w.boxes[0].flags, flags);
}

class JobStates : public AppTest {
protected:
    void open_port()
    {
        d.modem.open("COM4");
        job.port_open = true;
    }
};

TEST_F(JobStates, InitDefaultsThePortToFourAndClearsTheImageEnd)
{
    struct Case {
        int com_port;
        int expected;
    } cases[] = {{0, 4}, {2, 2}, {15, 15}};
    for (const auto& c : cases) {
        job.com_port = c.com_port;
        job.image_eof = 1;
        job.job_state = ST_INIT;
        job_step();
        EXPECT_EQ(job.com_port, c.expected);
        EXPECT_EQ(job.image_eof, 0);
        EXPECT_EQ(job.job_state, ST_SELECT_IMAGE);
    }
    EXPECT_EQ(d.debug.count("FLASH: Flash init state"), 3);
}

TEST_F(JobStates, UnusedAndUnknownStatesDoNothing)
{
    for (int state : {1, 15, -1, 99}) {
        job.job_state = state;
        job_step();
        EXPECT_EQ(job.job_state, state);
    }
    EXPECT_TRUE(d.debug.outputs.empty());
    EXPECT_TRUE(d.window.boxes.empty());
    EXPECT_TRUE(d.modem.writes.empty());
}

TEST_F(JobStates, SelectImageCancelledEndsQuietlyKeepingTheReplyBuffer)
{
    copy_text(job.rx_buf, "left over");
    job.job_state = ST_SELECT_IMAGE;
    job_step();
    EXPECT_EQ(job.job_state, ST_TEARDOWN);
    EXPECT_TRUE(d.window.boxes.empty());
    EXPECT_STREQ(job.rx_buf, "left over");
    EXPECT_STREQ(job.image_path, "modem.hex");
}

TEST_F(JobStates, SelectImageReadsTheHeaderThenProbes)
{
    choose(write_file("modem.hex", apptest::sample_image()));
    copy_text(job.rx_buf, "left over");
    job.job_state = ST_SELECT_IMAGE;
    job_step();
    EXPECT_EQ(job.job_state, ST_PROBE_PORT);
    EXPECT_EQ(job.image_type, MT_ISA);
    EXPECT_EQ(job.image_sector, 0x40);
    EXPECT_EQ(job.image_checksum, 0x1A2B);
    EXPECT_STREQ(job.str_out1, "File is for ISA modem, sector size 0x40");
    EXPECT_STREQ(job.rx_buf, "");
    EXPECT_TRUE(d.window.boxes.empty());
}

TEST_F(JobStates, SelectImageThatCannotBeReadEndsTheJob)
{
    choose(dir + "/gone.hex");  // chosen, then deleted before the header is read
    copy_text(job.rx_buf, "left over");
    job.job_state = ST_SELECT_IMAGE;
    job_step();
    EXPECT_EQ(job.job_state, ST_TEARDOWN);
    expect_box(d.window, "File open failed ", "File Open Error...", mb::ICON_EXCLAMATION);
    EXPECT_STREQ(job.rx_buf, "");
}

TEST_F(JobStates, ImageWithALineTooLongForTheModemIsRefusedBeforeAnyProbe)
{
    std::string image = apptest::sample_image();
    image.insert(image.find('\n') + 1, ":" + std::string(IMAGE_LINE_MAX_CHARS, '0') + "\n");
    choose(write_file("long.hex", image));
    job.job_state = ST_SELECT_IMAGE;
    job_step();
    EXPECT_EQ(job.job_state, ST_TEARDOWN);
    expect_box(d.window, "Line 2 of long.hex is too long for the modem (more than 126 characters).", "Line Too Long",
               mb::ICON_EXCLAMATION);

    // An image whose longest line just fits goes on to the probe.
    d.window.boxes.clear();
    image = apptest::sample_image();
    image.insert(image.find('\n') + 1, ":" + std::string(IMAGE_LINE_MAX_CHARS - 1, '0') + "\n");
    choose(write_file("fits.hex", image));
    job.job_state = ST_SELECT_IMAGE;
    job_step();
    EXPECT_EQ(job.job_state, ST_PROBE_PORT);
    EXPECT_TRUE(d.window.boxes.empty());
}

TEST_F(JobStates, ProbeOfASilentPortCountsDownThenGivesUp)
{
    job.com_port = 2;
    job.job_state = ST_PROBE_PORT;
    job_step();
    EXPECT_EQ(job.job_state, ST_PROBE_PORT);
    EXPECT_EQ(job.com_port, 1);
    EXPECT_EQ(job.probe_result, 1);
    EXPECT_STREQ(job.str_out2, "Trying Comm 2 ");
    EXPECT_EQ(d.window.status_texts.back(), std::string(job.str_out1) + "\nTrying Comm 2 ");
    job_step();
    EXPECT_EQ(job.job_state, ST_NOT_RESPONDING);
    EXPECT_EQ(job.com_port, 0);
    EXPECT_EQ(d.modem.opened_names, (Strings{"COM2", "COM1"}));
    EXPECT_FALSE(job.port_open);
}

TEST_F(JobStates, ProbeResultsChooseTheNextState)
{
    struct Case {
        const char* name;
        std::string ati5_extra;
        std::string ffl_reply;
        std::string fgo_reply;
        bool fail_fgo_write;
        int state;
        const char* log;
    } cases[] = {
        {"no resident loader: full load", "", "", "", false, ST_OPEN_LOADER, "Flash Open Comm Success on Com4 "},
        {"resident loader running", "RRFL,40,1A2B", "", "Ver:4.4\r\nOK\r\n", false, ST_CHECK_RRFL_VERSION, nullptr},
        {"resident loader held: started", "", "1A2B,40,\r\nOK\r\n", "Ver:4.4\r\nOK\r\n", false, ST_CHECK_RRFL_VERSION,
         "FLASH: entering RRFL"},
        {"resident loader held: no answer", "", "1A2B,40,\r\nOK\r\n", "", false, ST_NOT_RESPONDING,
         "FLASH: entering RRFL"},
        {"resident loader held: write fails", "", "1A2B,40,\r\nOK\r\n", "", true, ST_NOT_RESPONDING, "COMM ERROR"},
        {"resident load incompatible: abandon", "RRFL,40,FFFF", "", "", false, ST_EXIT, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        job.image_type = MT_ISA;
        job.image_sector = 0x40;
        job.image_checksum = 0x1A2B;
        apptest::ModemScript s;
        s.ati5_extra = c.ati5_extra;
        s.ffl_reply = c.ffl_reply;
        s.fgo_reply = c.fgo_reply;
        serve(s);
        if (c.fail_fgo_write) {
            auto answer = d.modem.on_write;
            d.modem.on_write = [this, answer](const std::string& w) {
                answer(w);
                if (w == "AT&&FFL\r")
                    d.modem.fail_writes = 1;  // the next write, "AT&&FGO\r", fails
            };
        }
        job.com_port = 4;
        job.job_state = ST_PROBE_PORT;
        job_step();
        EXPECT_EQ(job.job_state, c.state);
        EXPECT_EQ(job.com_port, 4);
        if (c.log) {
            EXPECT_TRUE(d.debug.logged(c.log));
        }
        EXPECT_TRUE(job.port_open) << "the port stays open for the next states";
    }
}

TEST_F(JobStates, OpenLoaderSizesOpensAndShowsTheModem)
{
    std::string loader = apptest::hex_record(0, 0, {1, 2, 3}) + "\n" + apptest::hex_record(0, 1, {}) + "\n";
    write_file("flashldr.hex", loader);
    job.modem_type = MT_ISA;
    job.com_port = 3;
    job.progress_done = 77;
    job.job_state = ST_OPEN_LOADER;
    job_step();
    EXPECT_EQ(job.job_state, ST_DOWNLOAD_LOADER);
    ASSERT_NE(job.cur_file, nullptr);
    EXPECT_EQ(job.progress_total, static_cast<int>(loader.size()));
    EXPECT_EQ(job.progress_done, 0);
    EXPECT_STREQ(job.str_out1, "Found (ISA) Modem on COM3.");
    EXPECT_STREQ(job.str_out2, "Downloading flashldr.hex, please wait.");
    EXPECT_EQ(d.window.status_texts.back(), "Found (ISA) Modem on COM3.\nDownloading flashldr.hex, please wait.");
}

TEST_F(JobStates, OpenLoaderRefusals)
{
    struct Case {
        const char* name;
        const char* loader;  // nullptr: no loader file
        std::string text;
        const char* caption;
    } cases[] = {
        {"missing", nullptr, "Flash file open failed - flashldr.hex", "ERROR"},
        {"line too long", ":0000\n:", "Line 2 of flashldr.hex is too long for the modem (more than 121 characters).",
         "Line Too Long"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        std::filesystem::remove(dir + "/flashldr.hex");
        if (c.loader)
            write_file("flashldr.hex", c.loader + std::string(LOADER_LINE_MAX_CHARS, '0') + "\n");
        job.progress_total = 555;
        job.job_state = ST_OPEN_LOADER;
        job_step();
        EXPECT_EQ(job.job_state, ST_TEARDOWN);
        EXPECT_EQ(job.cur_file, nullptr);
        expect_box(d.window, c.text, c.caption, mb::ICON_EXCLAMATION);
        EXPECT_TRUE(d.modem.writes.empty());
        if (!c.loader) {
            EXPECT_EQ(job.progress_total, 555) << "an unknown size keeps the old mark";
        }
    }
}

TEST_F(JobStates, DownloadLoaderChecksTheVersionAtTheEnd)
{
    struct Case {
        const char* name;
        std::string version;
        int state;
        const char* box;
    } cases[] = {
        {"downloaded loader answers Ver:4.4", "Ver:4.4", ST_OPEN_IMAGE, nullptr},
        {"an older version is refused", "Ver:4.3", ST_TEARDOWN, "Version mismatch (Ver:4.4) with flashldr.hex"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        apptest::ModemScript s;
        s.loader_version = c.version;
        serve(s);
        open_port();
        write_file("flashldr.hex", apptest::hex_record(0, 0, {1}) + "\n" + apptest::hex_record(0, 1, {}) + "\n");
        job.job_state = ST_OPEN_LOADER;
        job_step();
        job_step();  // first record: more to come
        EXPECT_EQ(job.job_state, ST_DOWNLOAD_LOADER);
        EXPECT_FALSE(d.debug.logged("FLASH: Flash loader code download success"));
        job_step();  // end record
        job_step();  // end of the file
        EXPECT_EQ(job.job_state, c.state);
        EXPECT_TRUE(d.debug.logged("FLASH: Flash loader code download success"));
        if (c.box) {
            expect_box(d.window, c.box, "Exit...", mb::ICON_EXCLAMATION);
        } else {
            EXPECT_TRUE(d.window.boxes.empty());
            EXPECT_STREQ(job.str_out1, "Erasing the Flash Chip.");
            EXPECT_STREQ(job.str_out2, "Please be Patient...");
        }
    }
}

TEST_F(JobStates, DownloadLoaderTimeOutIsReportedAsNotResponding)
{
    open_port();
    write_file("flashldr.hex", apptest::hex_record(0, 0, {1}) + "\n");
    job.job_state = ST_OPEN_LOADER;
    job_step();
    job_step();  // nobody answers
    EXPECT_EQ(job.job_state, ST_NOT_RESPONDING);
    EXPECT_FALSE(d.debug.logged("FLASH: Flash loader code download success"));
}

TEST_F(JobStates, ResidentLoaderVersionIsAcceptedByTypeAndVersion)
{
    struct Case {
        const char* reply;
        int modem_type;
        bool accepted;
    } cases[] = {
        {"AT&&FGO\r\r\nVer:4.4\r\nOK", MT_USB, true},
        {"AT&&FGO\r\r\nVer:4.3\r\nOK", MT_ISA, true},
        {"AT&&FGO\r\r\nVer:4.3\r\nOK", MT_PC_CARD, true},
        {"AT&&FGO\r\r\nVer:4.3\r\nOK", MT_USB, false},
        {"AT&&FGO\r\r\nVer:4.2\r\nOK", MT_ISA, false},
        {"", MT_ISA, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.reply) + " on type " + std::to_string(c.modem_type));
        fresh();
        copy_text(job.rx_buf, c.reply);
        job.modem_type = c.modem_type;
        job.com_port = 2;
        job.progress_done = 9;
        job.job_state = ST_CHECK_RRFL_VERSION;
        job_step();
        if (c.accepted) {
            EXPECT_EQ(job.job_state, ST_OPEN_IMAGE);
            EXPECT_EQ(std::string(job.str_out1), std::string("Found (") + modem_type_name(c.modem_type) + ") Modem on COM2.");
            EXPECT_STREQ(job.str_out2, "Erasing: Please be Patient...");
            EXPECT_EQ(job.progress_done, 9);
            EXPECT_TRUE(d.window.boxes.empty());
        } else {
            EXPECT_EQ(job.job_state, ST_TEARDOWN);
            expect_box(d.window, "Version mismatch (Ver:4.4) with RRFL", "Exit...", mb::ICON_EXCLAMATION);
        }
    }
}

TEST_F(JobStates, OpenImagePreparesTheStreamAndForgetsAnEarlierEnd)
{
    std::string image = apptest::sample_image();
    copy_text(job.image_path, write_file("modem.hex", image).c_str());
    job.image_eof = 1;  // as a restart on the last record leaves it
    job.retry_count = 3;
    job.lines_sent = 40;
    job.reply_timeout_s = 1;
    job.job_state = ST_OPEN_IMAGE;
    job_step();
    EXPECT_EQ(job.job_state, ST_SEND_LINE);
    ASSERT_NE(job.cur_file, nullptr);
    EXPECT_EQ(job.image_eof, 0);
    EXPECT_EQ(job.reply_timeout_s, 180);
    EXPECT_EQ(job.read_next_line, 1);
    EXPECT_EQ(job.lines_sent, 0);
    EXPECT_EQ(job.progress_done, 0);
    EXPECT_EQ(job.progress_total, static_cast<int>(image.size()));
    EXPECT_EQ(job.retry_count, 3) << "not reset here";
}

TEST_F(JobStates, OpenImageOfADeletedFileKeepsTheOldSize)
{
    copy_text(job.image_path, (dir + "/deleted.hex").c_str());
    job.progress_total = 1234;
    job.job_state = ST_OPEN_IMAGE;
    job_step();
    EXPECT_EQ(job.job_state, ST_TEARDOWN);
    expect_box(d.window, "Flash file open failed ", "File Open Error...", mb::ICON_EXCLAMATION);
    EXPECT_EQ(job.progress_total, 1234);
}

TEST_F(JobStates, FailureReportsGoToTeardown)
{
    struct Case {
        int state;
        const char* str_out1;
        const char* text;
        const char* caption;
    } cases[] = {
        {ST_NOT_RESPONDING, "", "Modem is not responding", "Error..."},
        {ST_FLASH_ERROR, "Modem could not fine COLON.", "Modem could not fine COLON.", "Flash Error"},
    };
    for (const auto& c : cases) {
        fresh();
        copy_text(job.str_out1, c.str_out1);
        job.job_state = c.state;
        job_step();
        EXPECT_EQ(job.job_state, ST_TEARDOWN);
        expect_box(d.window, c.text, c.caption, mb::ICON_EXCLAMATION);
        EXPECT_EQ(d.debug.lines(), Strings{"FLASH: Flash Open Comm Failed"});
    }
}

TEST_F(JobStates, DoneReportsTheElapsedTime)
{
    struct Case {
        uint32_t start;
        uint32_t seconds;
        const char* text;
    } cases[] = {
        {1000, 187, "Time Elapsed 3 Min  7 Sec."},
        {1000, 59, "Time Elapsed 0 Min 59 Sec."},
        {1000, 3725, "Time Elapsed 62 Min  5 Sec."},
        {0xFFFFF000u, 187, "Time Elapsed 3 Min  7 Sec."},  // the tick counter wraps meanwhile
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        fresh();
        copy_text(job.image_path, write_file("modem.hex", "x").c_str());
        job.cur_file = text_open(job.image_path);
        job.start_tick = c.start;
        d.clock.now = c.start + c.seconds * 1000u + 400u;
        job.progress_total = 300;
        job.progress_done = 120;
        job.job_state = ST_DONE;
        job_step();
        EXPECT_STREQ(job.str_out1, "Programming Successfully Completed.");
        EXPECT_STREQ(job.str_out2, c.text);
        EXPECT_EQ(d.window.status_texts.back(), std::string("Programming Successfully Completed.\n") + c.text);
        EXPECT_EQ(d.window.progress_positions.back(), 100);
        expect_box(d.window, "Flash Programming Completed", "    All Done...", mb::OK);
        EXPECT_EQ(d.window.arrow_cursor_calls, 1);
        EXPECT_EQ(d.clock.slept_ms, 55u) << "one settle pause";
        EXPECT_EQ(job.cur_file, nullptr);
        EXPECT_EQ(job.job_state, ST_TEARDOWN);
        EXPECT_TRUE(job_succeeded());
    }
}

TEST_F(JobStates, TeardownReleasesTheModemAndThePort)
{
    struct Case {
        bool port_open;
        const char* sent;
    } cases[] = {{true, "Y"}, {false, ""}};
    for (const auto& c : cases) {
        fresh();
        if (c.port_open)
            open_port();
        copy_text(job.rx_buf, "OK\r\n");
        job.job_state = ST_TEARDOWN;
        job_step();
        EXPECT_EQ(d.debug.lines(), (Strings{"FLASH: Flash Destroy Window", "OK\r\n"}));
        EXPECT_EQ(d.modem.immediate_chars, c.sent);
        EXPECT_EQ(d.modem.close_calls, c.port_open ? 1 : 0);
        EXPECT_FALSE(job.port_open);
        EXPECT_EQ(job.job_state, ST_EXIT);
    }
}

TEST_F(JobStates, ExitDestroysTheWindowOnce)
{
    start_job("");
    open_port();
    job.job_state = ST_EXIT;
    job_step();
    EXPECT_EQ(d.window.destroy_calls, 1);
    EXPECT_FALSE(job.port_open) << "the window's destruction closes the port";
    EXPECT_EQ(d.modem.close_calls, 1);
    EXPECT_TRUE(d.modem.immediate_chars.empty());

    job_step();  // a further step only logs again: the window is gone
    EXPECT_EQ(job.job_state, ST_EXIT);
    EXPECT_EQ(d.window.destroy_calls, 1);
    EXPECT_EQ(d.debug.count("FLASH: NULL"), 2);
}

}  // namespace
