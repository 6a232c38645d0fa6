// Programming the simulated modem: the loader download, and whole jobs whose
// flash is compared with the image, also when the modem reports errors.
#include "app/flash_job.h"
#include "app/job_step.h"
#include "flash/loader_download.h"
#include "modem/probe.h"
#include "platform/text_file.h"
#include "sim_fixture.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace {

using Strings = std::vector<std::string>;

constexpr int SIM_PORT = 2;
constexpr int LOADER_CALL_LIMIT = 100;

// Characters of the records of a loader file, line ends left out: what the
// download counts as done once every record has been acknowledged.
int record_characters(const std::string& text)
{
    int total = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        total += static_cast<int>(line.size());
    return total;
}

using FlashSimulator = integ::SimulatorTest;

TEST_F(FlashSimulator, LoaderDownloadEndsWithTheLoadersVersion)
{
    start_modem(SIM_PORT, {"--erase-ms", integ::ERASE_MS});
    choose_image(image);
    job.com_port = SIM_PORT;
    ASSERT_EQ(probe_modem(), PROBE_FULL_LOAD);

    job.cur_file = text_open(LOADER_FILE_NAME);
    ASSERT_NE(job.cur_file, nullptr);
    job.job_state = ST_DOWNLOAD_LOADER;
    int calls = 1;
    while (!flash_download_loader() && job.job_state == ST_DOWNLOAD_LOADER && calls < LOADER_CALL_LIMIT)
        ++calls;

    ASSERT_EQ(job.job_state, ST_DOWNLOAD_LOADER) << "a loader line was not acknowledged";
    EXPECT_EQ(job.cur_file, nullptr) << "the end of the file closes it";
    EXPECT_NE(std::strstr(job.rx_buf, "Ver:4.4"), nullptr) << job.rx_buf;
    std::string text = read_file(loader);
    int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(calls, lines + 1) << "one call per line, and one for the end of the file";
    EXPECT_EQ(job.progress_done, record_characters(text)) << "every record acknowledged";
}

TEST_F(FlashSimulator, FullLoadFromTheFirstPortThatAnswersProgramsTheImage)
{
    start_modem(SIM_PORT, {"--erase-ms", integ::ERASE_MS, "--exit-after-job", "--expect", image, "--flash-out",
                           dir.file("flash.bin")});
    run_job(image);  // from COM4 down: COM4 and COM3 do not exist

    EXPECT_TRUE(debug.logged("Flash Open Comm Success on Com2 "));
    EXPECT_TRUE(debug.logged("FLASH: Flash loader code download success"));
    EXPECT_TRUE(job_succeeded());
    EXPECT_EQ(box_captions(), Strings{"    All Done..."});
    EXPECT_EQ(modem_exit_status(), 0) << modem_log();
    expect_flash_holds(image, dir.file("flash.bin"));
}

struct StreamCase {
    const char* name;
    std::string fault;           // modemsim --fault, by image line
    bool last_line_end;          // whether the image's last line ends with a line end
    bool succeeds;
    int checksum_failures;       // NOK3 answers the job met
    Strings captions;  // of the boxes shown
};

const StreamCase STREAM_CASES[] = {
    {"OneChecksumFailureIsResent", "nok3@line=5", true, true, 1, {"    All Done..."}},
    {"ChecksumFailureOnEverySendEndsTheJob", "nok3@line=5-", true, false, 7, {"Flash Error"}},
    // The end record, read together with the end of the file, is awaited
    // like any other: its failure must not be reported as success.
    {"FailingLastRecordWithoutLineEnd", "nok3@line=" + std::to_string(integ::IMAGE_LINES) + "-", false, false, 7,
     {"Flash Error"}},
};

void PrintTo(const StreamCase& c, std::ostream* out)
{
    *out << c.name;
}

class StreamThroughResidentLoader : public integ::SimulatorTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(StreamThroughResidentLoader, FlashHoldsTheImageOnlyWhenTheJobSucceeds)
{
    const StreamCase& c = GetParam();
    std::string sent_image = image;
    if (!c.last_line_end) {
        std::string text = read_file(image);
        ASSERT_EQ(text.back(), '\n');
        text.pop_back();
        sent_image = dir.file("no-last-line-end.hex");
        write_file(sent_image, text);
    }
    start_modem(SIM_PORT, {"--resident", "40:1A2B", "--erase-ms", integ::ERASE_MS, "--fault", c.fault,
                           "--exit-after-job", "--expect", image, "--flash-out", dir.file("flash.bin")});
    run_job(sent_image, "2");

    EXPECT_TRUE(debug.logged("FLASH: entering RRFL"));
    EXPECT_EQ(debug.count("FLASH: Checksum Failure"), c.checksum_failures);
    EXPECT_EQ(job_succeeded(), c.succeeds);
    EXPECT_EQ(box_captions(), c.captions);
    if (!c.succeeds && !window.boxes.empty()) {
        EXPECT_EQ(window.boxes[0].text, "Modem reports solid Checksum Failure.");
        EXPECT_FALSE(debug.logged("FLASH: Dnld successful"));
    }
    EXPECT_EQ(modem_exit_status(), c.succeeds ? 0 : 1) << modem_log();
    if (c.succeeds)
        expect_flash_holds(image, dir.file("flash.bin"));
}

INSTANTIATE_TEST_SUITE_P(Faults, StreamThroughResidentLoader, ::testing::ValuesIn(STREAM_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
