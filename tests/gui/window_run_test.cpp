// flashloader in its GTK window on a virtual display, driven with keystrokes
// against modemsim, as a user would run it: the file dialog, the questions,
// the completion box, and what ends up in the modem's flash.
#include "../sim/temp_dir.h"
#include "child_process.h"
#include "virtual_display.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr uint32_t LIMIT_MS = 30000;  // for any one window, log line or exit
constexpr uint32_t STEP_MS = 50;
constexpr uint32_t STREAMING_SHOT_DELAY_MS = 1000;
constexpr int JOB_FAILED = 1;

// Whether any process still running has `text` in its command line.
bool process_mentions(const std::string& text)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::string cmdline = read_file(entry.path().string() + "/cmdline");
        if (cmdline.find(text) != std::string::npos)
            return true;
    }
    return false;
}

class GtkWindowRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
        // 129 records: at the pace given to the modem, streaming lasts long
        // enough for a screenshot in the middle of it.
        ASSERT_EQ(run_tool({MODEMSIM_PATH, "--make-image", image, "--size", "4096"}, {}, LIMIT_MS).status, 0);
        ASSERT_EQ(run_tool({MODEMSIM_PATH, "--make-loader", dir.file("flashldr.hex")}, {}, LIMIT_MS).status, 0);
    }

    // modemsim on COM4, ending after the job and comparing its flash with
    // the image.
    void start_modem(std::vector<std::string> options)
    {
        std::vector<std::string> argv{MODEMSIM_PATH, "--link", link, "--exit-after-job", "--expect", image,
                                      "--flash-out", flash_out};
        argv.insert(argv.end(), options.begin(), options.end());
        ChildOptions child;
        child.err_path = dir.file("modem.log");
        ASSERT_TRUE(modem.start(argv, child));
        ASSERT_TRUE(wait_until([&] { return std::filesystem::exists(link); })) << "no line from modemsim";
    }

    void start_flashloader(std::vector<std::string> args, std::map<std::string, std::string> env = {})
    {
        std::vector<std::string> argv{FLASHLOADER_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildOptions child;
        child.cwd = dir.path;  // where flashldr.hex is
        child.err_path = dir.file("flashloader.log");
        child.env = {{"DISPLAY", display.name()},
                     {"GDK_BACKEND", "x11"},
                     {"FLASHLOADER_COM4", link},
                     {"HOME", dir.path},  // the file dialog's recent files
                     {"GSETTINGS_BACKEND", "memory"},
                     {"NO_AT_BRIDGE", "1"}};
        child.env.insert(env.begin(), env.end());
        ASSERT_TRUE(flasher.start(argv, child));
    }

    template <typename Condition>
    bool wait_until(Condition done)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LIMIT_MS);
        while (std::chrono::steady_clock::now() < deadline) {
            if (done())
                return true;
            usleep(STEP_MS * 1000);
        }
        return done();
    }

    bool logged(const std::string& text) { return read_file(dir.file("flashloader.log")).find(text) != std::string::npos; }

    // Runs until the image streams, the screen showing it.
    void run_until_streaming()
    {
        choose_image();
        ASSERT_TRUE(wait_until([&] { return logged("FLASH: Flash loader code download success"); }))
            << read_file(dir.file("flashloader.log"));
        usleep(STREAMING_SHOT_DELAY_MS * 1000);
    }

    void TearDown() override
    {
        EXPECT_FALSE(logged("Sanitizer")) << read_file(dir.file("flashloader.log"));
    }

    // Finds the window titled as the pattern says and sends it the keys.
    void answer(const std::string& title_regex, const std::vector<std::pair<std::string, std::string>>& input)
    {
        std::string window = display.find_window(title_regex, LIMIT_MS);
        ASSERT_FALSE(window.empty()) << "no window " << title_regex << "\n"
                                     << read_file(dir.file("flashloader.log")) << read_file(dir.file("xvfb.log"));
        ASSERT_TRUE(display.focus_and_send(window, input));
    }

    // Types the image's path into the file dialog, as its location.
    void choose_image()
    {
        answer("^Choose File to Download$", {{"key", "ctrl+l"}, {"type", image}, {"key", "Return"}});
    }

    TempDir dir;
    VirtualDisplay display{dir.file("xvfb.log")};
    std::string image = dir.file("firmware.hex");
    std::string link = dir.file("COM4");
    std::string flash_out = dir.file("flash.bin");
    ChildProcess modem;    // ends before the display and the files go
    ChildProcess flasher;
};

TEST_F(GtkWindowRunTest, WholeFlashEndsWithTheImageInTheModem)
{
    start_modem({"--record-ms", "40"});
    start_flashloader({});
    std::string main_window = display.find_window("^Flash Loader Ver:4.4$", LIMIT_MS);
    ASSERT_FALSE(main_window.empty()) << read_file(dir.file("flashloader.log")) << read_file(dir.file("xvfb.log"));
    run_until_streaming();
    EXPECT_EQ(display.window_title(main_window), "Flash - firmware.hex");
    std::filesystem::create_directories(GUI_ARTIFACT_DIR);
    EXPECT_TRUE(display.screenshot(main_window, GUI_ARTIFACT_DIR "/streaming.png"));

    answer("All Done", {{"key", "Return"}});
    EXPECT_EQ(flasher.wait_exit(LIMIT_MS), 0) << read_file(dir.file("flashloader.log"));
    EXPECT_EQ(modem.wait_exit(LIMIT_MS), 0) << read_file(dir.file("modem.log"));
}

// The erase question has No as its default button: Return declines.
TEST_F(GtkWindowRunTest, ReturnAtTheEraseQuestionEndsWithoutProgramming)
{
    start_modem({"--resident", "40:1234"});
    start_flashloader({});
    choose_image();
    answer("^MUST USE FULL ERASE !!!$", {{"key", "Return"}});

    EXPECT_EQ(flasher.wait_exit(LIMIT_MS), JOB_FAILED) << read_file(dir.file("flashloader.log"));
    EXPECT_FALSE(logged("Flash Open Comm Success"));
    EXPECT_EQ(modem.wait_exit(LIMIT_MS), 1) << "the flash must differ from the image";
    EXPECT_EQ(read_file(flash_out), "") << "nothing may have been programmed";
}

// SIGTERM is the window's close: while the image is written the user is
// asked first, Yes being the default, and the job then releases the modem.
TEST_F(GtkWindowRunTest, CloseWhileStreamingAsksAndYesStopsTheJob)
{
    start_modem({"--record-ms", "40"});
    start_flashloader({});
    run_until_streaming();
    flasher.send_signal(SIGTERM);
    answer("^You May Have Cooked the Flash Chip!$", {{"key", "Return"}});

    EXPECT_EQ(flasher.wait_exit(LIMIT_MS), JOB_FAILED) << read_file(dir.file("flashloader.log"));
    EXPECT_TRUE(logged("FLASH: Flash Destroy Window"));
    EXPECT_EQ(modem.wait_exit(LIMIT_MS), 1) << "the image was not written to its end";
}

// --simulate brings its own modem and files and leaves nothing behind.
TEST_F(GtkWindowRunTest, SimulateRunsAWholeJobAndCleansUp)
{
    std::string scratch = dir.file("tmp");
    std::filesystem::create_directory(scratch);
    start_flashloader({"--simulate"}, {{"TMPDIR", scratch}});
    // The dialog starts in the scratch directory that holds the sample image.
    answer("^Choose File to Download$", {{"key", "ctrl+l"}, {"type", "modem.hex"}, {"key", "Return"}});
    answer("All Done", {{"key", "Return"}});

    EXPECT_EQ(flasher.wait_exit(LIMIT_MS), 0) << read_file(dir.file("flashloader.log"));
    EXPECT_TRUE(std::filesystem::is_empty(scratch)) << "the scratch directory must be gone";
    EXPECT_FALSE(process_mentions(scratch)) << "the simulator must have ended";
}

}  // namespace
