// Images that hold nothing to program are refused when chosen, before any
// port is probed or anything erased: an empty file, a file without a single
// record, a binary file whose lines are short enough to pass the length check.
#include "app/job_step.h"
#include "app/job_states.h"
#include "app_fixture.h"
#include "platform/platform.h"

#include <string>

using apptest::AppTest;
namespace mb = platform::mb;

namespace {

using BadImage = AppTest;

TEST_F(BadImage, IsRefusedWithABoxNamingTheFileBeforeAnyPortIsOpened)
{
    std::string sample = apptest::sample_image();
    struct Case {
        const char* name;
        std::string content;
        const char* text;
    } cases[] = {
        {"empty.hex", "", "empty.hex holds no Intel HEX record."},
        {"notes.hex", "no records here\r\n just text\n", "notes.hex holds no Intel HEX record."},
        {"zero_byte.hex", sample.substr(0, sample.find('\n') + 1) + std::string(":10\0" "000\n", 7) + sample,
         "zero_byte.hex is not an Intel HEX text file (byte 0x00 in line 2)."},
        {"high.hex", "\x7F" "ELF\x02\x01\n", "high.hex is not an Intel HEX text file (byte 0x7F in line 1)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        choose(write_file(c.name, c.content));
        job.job_state = ST_SELECT_IMAGE;
        job_step();
        EXPECT_EQ(job.job_state, ST_TEARDOWN);
        ASSERT_EQ(d.window.boxes.size(), 1u);
        EXPECT_EQ(d.window.boxes[0].text, c.text);
        EXPECT_EQ(d.window.boxes[0].caption, "Bad Image File");
        EXPECT_EQ(d.window.boxes[0].flags, mb::ICON_EXCLAMATION);
        EXPECT_TRUE(d.debug.logged(c.text));
        EXPECT_TRUE(d.modem.opened_names.empty());
    }
}

TEST_F(BadImage, AValidImageEndedByCtrlZGoesOnToTheProbe)
{
    // Text mode ends the file at Ctrl-Z: what follows is never looked at.
    choose(write_file("ok.hex", apptest::sample_image() + "\x1A" + std::string(1, '\0') + "\xFF"));
    job.job_state = ST_SELECT_IMAGE;
    job_step();
    EXPECT_EQ(job.job_state, ST_PROBE_PORT);
    EXPECT_TRUE(d.window.boxes.empty());
}

}  // namespace
