// Whole jobs through the main loop, from the file dialog to the end of the
// program, against a scripted modem.
#include "app/job_step.h"
#include "app/main_loop.h"
#include "app_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

using apptest::AppTest;
using Strings = std::vector<std::string>;
namespace mb = platform::mb;

namespace {

const std::string SILENCE_UNTIL_CLOSED = "";

class JobRun : public AppTest {
protected:
    // Serves the modem (none: silent), chooses the sample image and runs the
    // whole job.
    int run(const apptest::ModemScript* s, const char* command_line = "", char image_type = 'I')
    {
        if (s)
            serve(*s);
        watch_modem();
        choose(write_file("modem.hex", apptest::sample_image(image_type)));
        write_file("flashldr.hex", apptest::hex_record(0, 0, {0xC3, 0x00}) + "\n" + apptest::hex_record(0, 1, {}) + "\n");
        start_job(command_line);
        return run_main_loop();
    }

    Strings captions() const
    {
        Strings result;
        for (const auto& box : d.window.boxes)
            result.push_back(box.caption);
        return result;
    }

    bool wrote_prefix(const std::string& prefix) const
    {
        return std::any_of(d.modem.writes.begin(), d.modem.writes.end(),
                           [&](const std::string& w) { return w.rfind(prefix, 0) == 0; });
    }

    // The program ended with the port released and the window destroyed once.
    void expect_clean_end()
    {
        EXPECT_EQ(d.window.destroy_calls, 1);
        EXPECT_FALSE(job.port_open);
        EXPECT_FALSE(d.modem.is_open);
        EXPECT_EQ(job.cur_file, nullptr);
        EXPECT_EQ(job.job_state, ST_EXIT);
    }
};

TEST_F(JobRun, FullLoadOnTheFirstPortThatAnswers)
{
    d.modem.absent_ports = {"COM4", "COM3"};
    apptest::ModemScript s;
    s.erase_ms = 20000;
    EXPECT_EQ(run(&s), 0);
    EXPECT_EQ(d.modem.opened_names, (Strings{"COM4", "COM3", "COM2"}));
    EXPECT_TRUE(d.debug.logged("Flash Open Comm Success on Com2 "));
    EXPECT_TRUE(wrote_prefix("at&&f:"));
    EXPECT_EQ(image_writes().size(), 5u) << "header, two data records, end record, lone CR";
    EXPECT_EQ(captions(), Strings{"    All Done..."});
    EXPECT_EQ(d.window.captions, Strings{"Flash - modem.hex"});
    auto& texts = d.window.status_texts;
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Found (ISA) Modem on COM2.\nDownloading flashldr.hex, please wait."),
              texts.end());
    EXPECT_EQ(texts.back().rfind("Programming Successfully Completed.\nTime Elapsed 0 Min ", 0), 0u) << texts.back();
    EXPECT_EQ(d.modem.immediate_chars, "Y");
    EXPECT_TRUE(job_succeeded());
    expect_clean_end();
}

TEST_F(JobRun, ResidentLoaderRunningNeedsNoDownload)
{
    apptest::ModemScript s;
    s.ati5_extra = "RRFL,40,1A2B";
    s.fgo_reply = "Ver:4.3\r\nOK\r\n";
    EXPECT_EQ(run(&s, "1"), 0);
    EXPECT_EQ(d.modem.opened_names, Strings{"COM1"});
    EXPECT_FALSE(wrote_prefix("at&&f:"));
    EXPECT_FALSE(wrote_prefix("AT&&FFL"));
    EXPECT_EQ(captions(), Strings{"    All Done..."});
    EXPECT_TRUE(job_succeeded());
    expect_clean_end();
}

TEST_F(JobRun, NoModemOnAnyPort)
{
    EXPECT_EQ(run(nullptr), 0);
    EXPECT_EQ(d.modem.opened_names, (Strings{"COM4", "COM3", "COM2", "COM1"}));
    for (const char* line : {"Trying Comm 4 ", "Trying Comm 3 ", "Trying Comm 2 ", "Trying Comm 1 "})
        EXPECT_EQ(d.debug.count(line), 1) << line;
    EXPECT_EQ(d.debug.count("Not a Tervan Flashable modem!"), 4);
    EXPECT_EQ(captions(), Strings{"Error..."});
    EXPECT_EQ(d.window.boxes[0].text, "Modem is not responding");
    EXPECT_TRUE(d.debug.logged("FLASH: Flash Destroy Window"));
    EXPECT_TRUE(d.modem.immediate_chars.empty()) << "no port is open to send Y";
    EXPECT_FALSE(job_succeeded());
    expect_clean_end();
}

TEST_F(JobRun, DeclinedTypeMismatchEndsWithoutTeardown)
{
    apptest::ModemScript s;
    s.type_letter = 'U';  // the image is for ISA; the question defaults to No
    EXPECT_EQ(run(&s), 0);
    EXPECT_EQ(job.probe_result, 5);
    ASSERT_EQ(d.window.boxes.size(), 1u);
    EXPECT_EQ(d.window.boxes[0].caption, "INCOMPATIBLE : File=ISA;  Modem=USB");
    EXPECT_FALSE(d.debug.logged("FLASH: Flash Destroy Window"));
    EXPECT_TRUE(d.modem.immediate_chars.empty());
    EXPECT_EQ(d.modem.close_calls, 1) << "closed by the window's destruction";
    EXPECT_FALSE(job_succeeded());
    expect_clean_end();
}

TEST_F(JobRun, OldResidentLoaderRefusedOnUsb)
{
    apptest::ModemScript s;
    s.type_letter = 'U';
    s.ffl_reply = "1A2B,40,\r\nOK\r\n";
    s.fgo_reply = "Ver:4.3\r\nOK\r\n";
    EXPECT_EQ(run(&s, "", 'U'), 0);
    EXPECT_TRUE(d.debug.logged("FLASH: entering RRFL"));
    EXPECT_EQ(captions(), Strings{"Exit..."});
    EXPECT_EQ(d.window.boxes[0].text, "Version mismatch (Ver:4.4) with RRFL");
    EXPECT_TRUE(image_writes().empty());
    EXPECT_EQ(d.modem.immediate_chars, "Y");
    EXPECT_FALSE(job_succeeded());
    expect_clean_end();
}

TEST_F(JobRun, CancelledFileChoiceEndsQuietly)
{
    serve(apptest::ModemScript{});
    start_job("");
    EXPECT_EQ(run_main_loop(), 0);
    EXPECT_TRUE(d.window.boxes.empty());
    EXPECT_EQ(d.modem.open_calls, 0);
    EXPECT_TRUE(d.debug.logged("FLASH: Flash Destroy Window"));
    EXPECT_FALSE(job_succeeded());
    expect_clean_end();
}

TEST_F(JobRun, ClosingWhileTheImageIsWrittenTearsDownAfterYes)
{
    apptest::ModemScript s;
    s.ati5_extra = "RRFL,40,1A2B";
    s.image_answers = {"OK\r\n", SILENCE_UNTIL_CLOSED};
    serve(s);
    auto answer = d.modem.on_write;
    d.modem.on_write = [&](const std::string& w) {
        answer(w);
        if (w[0] == ':' && image_writes().size() == 2)
            d.window.events.push_back(platform::WindowEvent::CloseRequested);
    };
    d.window.answers = {mb::ANSWER_YES};
    EXPECT_EQ(run(nullptr), 0);
    EXPECT_EQ(image_writes().size(), 2u) << "nothing more is sent after Yes";
    EXPECT_EQ(captions(), Strings{"You May Have Cooked the Flash Chip!"});
    EXPECT_EQ(d.modem.immediate_chars, "Y");
    EXPECT_FALSE(job_succeeded());
    expect_clean_end();
}

}  // namespace
