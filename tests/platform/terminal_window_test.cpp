// The terminal front end's window: questions, reports, the image choice,
// close requests and the status display, with pipes for the keyboard and
// Ctrl-C and a memory stream for the screen.
#include "app/flash_job.h"
#include "platform/cli/close_signal.h"
#include "platform/cli/status_view.h"
#include "platform/cli/terminal_window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using platform::mb::ANSWER_NO;
using platform::mb::ANSWER_OK;
using platform::mb::ANSWER_YES;
using platform::mb::DEFBUTTON2;
using platform::mb::ICON_EXCLAMATION;
using platform::mb::YESNO;

struct Screen {
    char* buf = nullptr;
    size_t size = 0;
    std::FILE* file = open_memstream(&buf, &size);
    std::string text()
    {
        std::fflush(file);
        return std::string(buf, size);
    }
    ~Screen()
    {
        std::fclose(file);
        std::free(buf);
    }
};

// A window whose keyboard and Ctrl-C are pipes the test writes into.
struct Terminal {
    Screen screen;
    int keys[2] = {-1, -1};
    int ctrl_c[2] = {-1, -1};
    TerminalConfig config;

    explicit Terminal(AnswerMode answers = AnswerMode::Ask, bool interactive = true)
    {
        reset_flash_job();
        EXPECT_EQ(pipe(keys), 0);
        EXPECT_EQ(pipe(ctrl_c), 0);
        config.in_fd = keys[0];
        config.in_is_terminal = interactive;
        config.out = screen.file;
        config.answers = answers;
        config.close_fd = ctrl_c[0];
    }
    ~Terminal()
    {
        for (int fd : {keys[0], keys[1], ctrl_c[0], ctrl_c[1]})
            if (fd >= 0)
                ::close(fd);
    }
    void type(const std::string& text) { ASSERT_EQ(write(keys[1], text.data(), text.size()), (ssize_t)text.size()); }
    void end_input()
    {
        ::close(keys[1]);
        keys[1] = -1;
    }
    void press_ctrl_c() { ASSERT_EQ(write(ctrl_c[1], "c", 1), 1); }
};

TEST(TerminalQuestions, WithoutTypingTheModeOrTheDefaultButtonAnswers)
{
    struct Case {
        AnswerMode mode;
        unsigned flags;
        int answer;
        const char* shown;
    } cases[] = {
        {AnswerMode::Ask, YESNO, ANSWER_YES, "[Cap] Sure? [Y/n] y (default)\n"},
        {AnswerMode::Ask, YESNO | ICON_EXCLAMATION | DEFBUTTON2, ANSWER_NO, "[Cap] Sure? [y/N] n (default)\n"},
        {AnswerMode::Yes, YESNO | DEFBUTTON2, ANSWER_YES, "[Cap] Sure? [y/N] y (--yes)\n"},
        {AnswerMode::No, YESNO, ANSWER_NO, "[Cap] Sure? [Y/n] n (--no)\n"},
    };
    for (const Case& c : cases) {
        Terminal t(c.mode, false);
        TerminalWindow window(t.config);
        EXPECT_EQ(window.message_box("Sure?", "Cap", c.flags), c.answer) << c.shown;
        EXPECT_EQ(t.screen.text(), c.shown);
    }
}

TEST(TerminalQuestions, TypedAnswersAreReadLineByLine)
{
    struct Case {
        const char* typed;
        bool end;  // input ends after the text
        unsigned flags;
        int answer;
        const char* shown;
    } cases[] = {
        {"y\n", false, YESNO | DEFBUTTON2, ANSWER_YES, "[Cap] Sure? [y/N] "},
        {"  YES \r\n", false, YESNO | DEFBUTTON2, ANSWER_YES, "[Cap] Sure? [y/N] "},
        {"\n", false, YESNO | DEFBUTTON2, ANSWER_NO, "[Cap] Sure? [y/N] "},
        {"\n", false, YESNO, ANSWER_YES, "[Cap] Sure? [Y/n] "},
        {"maybe\nn\n", false, YESNO, ANSWER_NO, "[Cap] Sure? [Y/n] Please answer y or n [Y/n] "},
        {"y", true, YESNO | DEFBUTTON2, ANSWER_YES, "[Cap] Sure? [y/N] "},
        {"", true, YESNO, ANSWER_NO, "[Cap] Sure? [Y/n] \nn (end of input)\n"},
    };
    for (const Case& c : cases) {
        Terminal t;
        t.type(c.typed);
        if (c.end)
            t.end_input();
        TerminalWindow window(t.config);
        EXPECT_EQ(window.message_box("Sure?", "Cap", c.flags), c.answer) << c.typed;
        EXPECT_EQ(t.screen.text(), c.shown) << c.typed;
    }
}

TEST(TerminalQuestions, CtrlCAtAQuestionAnswersNoAndIsUsedUp)
{
    Terminal t;
    t.press_ctrl_c();
    TerminalWindow window(t.config);
    EXPECT_EQ(window.message_box("Sure?", "Cap", YESNO), ANSWER_NO);
    EXPECT_EQ(t.screen.text(), "[Cap] Sure? [Y/n] \nn (Ctrl-C)\n");
    EXPECT_EQ(window.next_event(), platform::WindowEvent::None);
}

TEST(TerminalReports, PrintCaptionAndTextWithoutTheModemsControlCharacters)
{
    Terminal t;
    TerminalWindow window(t.config);
    EXPECT_EQ(window.message_box("Reply \x1b[2J\rgone\nsecond line", "Error...", ICON_EXCLAMATION), ANSWER_OK);
    EXPECT_EQ(t.screen.text(), "[Error...] Reply .[2J.gone\nsecond line\n");
}

TEST(TerminalClose, TellsWhetherTheUserEndedTheJob)
{
    {  // Ctrl-C outside image writing: the core destroys the window at once.
        Terminal t;
        TerminalWindow window(t.config);
        t.press_ctrl_c();
        EXPECT_EQ(window.next_event(), platform::WindowEvent::CloseRequested);
        EXPECT_EQ(window.next_event(), platform::WindowEvent::None);
        t.press_ctrl_c();
        EXPECT_EQ(window.next_event(), platform::WindowEvent::CloseRequested);
        window.destroy_main_window();
        EXPECT_TRUE(window.closed_by_user());
    }
    for (AnswerMode mode : {AnswerMode::Yes, AnswerMode::No}) {  // during image writing the core asks
        Terminal t(mode);
        TerminalWindow window(t.config);
        job.job_state = ST_AWAIT_ACK;
        t.press_ctrl_c();
        EXPECT_EQ(window.next_event(), platform::WindowEvent::CloseRequested);
        window.message_box("Are you Sure you want to Kill the Flash Loader?", "You May Have Cooked the Flash Chip!",
                           YESNO);
        EXPECT_EQ(window.next_event(), platform::WindowEvent::None);
        window.destroy_main_window();  // the job's own end, later
        EXPECT_EQ(window.closed_by_user(), mode == AnswerMode::Yes);
        EXPECT_FALSE(window.declined_probe_question());
    }
}

TEST(TerminalClose, ANoDuringTheProbeIsADeclinedQuestion)
{
    for (int state : {ST_PROBE_PORT, ST_AWAIT_ACK}) {
        Terminal t(AnswerMode::No);
        TerminalWindow window(t.config);
        job.job_state = state;
        window.message_box("Do you wish to Erase the Entire Flash", "MUST USE FULL ERASE !!!", YESNO | DEFBUTTON2);
        EXPECT_EQ(window.declined_probe_question(), state == ST_PROBE_PORT);
        EXPECT_FALSE(window.closed_by_user());
    }
}

TEST(CloseSignals, CtrlCBecomesOneCloseRequest)
{
    int fd = install_close_signals();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(install_close_signals(), fd);
    std::raise(SIGINT);
    EXPECT_TRUE(take_close_request(fd));
    EXPECT_FALSE(take_close_request(fd));
}

// The image choice, in a directory of its own.
class ImageChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("flashloader-choice-" + std::to_string(getpid()));
        fs::create_directories(dir_ / "folder.hex");
        std::ofstream(dir_ / "firmware.hex") << ":00000001FF\n";
        dir_ = fs::canonical(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    bool choose(TerminalWindow& window, const std::string& proposed, int file_size = 256)
    {
        std::snprintf(file_, sizeof file_, "%s", proposed.c_str());
        title_[0] = '\0';
        platform::OpenFileRequest request;
        request.title = "Choose File to Download";
        request.default_extension = "hex";
        request.file = file_;
        request.file_size = file_size;
        request.file_title = title_;
        request.file_title_size = sizeof title_;
        return window.open_file_dialog(request);
    }

    fs::path dir_;
    char file_[256] = {};
    char title_[256] = {};
};

TEST_F(ImageChoice, TheArgumentGivesFullPathAndNameWithTheDefaultExtension)
{
    Terminal t(AnswerMode::Ask, false);
    t.config.image = (dir_ / "firmware").string();
    TerminalWindow window(t.config);
    ASSERT_TRUE(choose(window, "modem.hex"));
    EXPECT_EQ(std::string(file_), (dir_ / "firmware.hex").string());
    EXPECT_STREQ(title_, "firmware.hex");
}

TEST_F(ImageChoice, AnArgumentThatIsNoFileOrDoesNotFitFails)
{
    struct Case {
        const char* name;
        int file_size;
        std::string shown;
    } cases[] = {
        {"missing.hex", 256, (dir_ / "missing.hex").string() + ": No such file or directory\n"},
        {"folder.hex", 256, (dir_ / "folder.hex").string() + ": Is a directory\n"},
        {"firmware.hex", 10, (dir_ / "firmware.hex").string() + ": the path is too long\n"},
    };
    for (const Case& c : cases) {
        Terminal t(AnswerMode::Ask, false);
        t.config.image = (dir_ / c.name).string();
        TerminalWindow window(t.config);
        EXPECT_FALSE(choose(window, "modem.hex", c.file_size)) << c.name;
        EXPECT_EQ(t.screen.text(), c.shown);
        EXPECT_FALSE(window.file_choice_cancelled());
    }
}

TEST_F(ImageChoice, AtTheTerminalAMissingFileIsRefusedAndAnEmptyLineTakesTheProposal)
{
    Terminal t;
    std::string missing = (dir_ / "missing.hex").string();
    t.type(missing + "\n\n");
    TerminalWindow window(t.config);
    std::string proposal = (dir_ / "firmware.hex").string();
    ASSERT_TRUE(choose(window, proposal));
    EXPECT_EQ(std::string(file_), proposal);
    EXPECT_EQ(t.screen.text(), "Choose File to Download [" + proposal + "]: " + missing +
                                   ": No such file or directory\nChoose File to Download [" + proposal + "]: ");
}

TEST_F(ImageChoice, EndOfInputOrCtrlCCancels)
{
    for (bool ctrl_c : {false, true}) {
        Terminal t;
        if (ctrl_c)
            t.press_ctrl_c();
        else
            t.end_input();
        TerminalWindow window(t.config);
        EXPECT_FALSE(choose(window, "modem.hex"));
        EXPECT_TRUE(window.file_choice_cancelled());
    }
}

TEST(StatusDisplay, PlainOutputPrintsOnlyWhatChanged)
{
    Screen screen;
    StatusView view(screen.file, false);
    view.show_text("Programming the Flash\n<1%>  Complete.");
    view.show_progress(5);
    view.show_text("Programming the Flash\n<12%>  Complete.");
    view.show_progress(12);
    view.show_progress(19);
    view.show_text("Programming the Flash\n<12%>  Complete.");
    view.show_progress(100);
    EXPECT_EQ(screen.text(), "Programming the Flash\n<1%>  Complete.\n<12%>  Complete.\nProgress 12%\nProgress 100%\n");
}

TEST(StatusDisplay, ACaptionIsPrintedOnlyWhenItChanges)
{
    Screen screen;
    StatusView view(screen.file, false);
    view.show_caption("Flash Loader Ver:4.4");
    view.show_caption("Flash Loader Ver:4.4");
    view.show_caption("Flash - modem.hex");
    EXPECT_EQ(screen.text(), "Flash Loader Ver:4.4\nFlash - modem.hex\n");
}

TEST(StatusDisplay, ATerminalBlockIsRedrawnInPlaceAndCutToTheWidth)
{
    Screen screen;
    StatusView view(screen.file, true);
    view.show_text("One\nTwo");
    std::string first = screen.text();
    EXPECT_EQ(first, "\r\x1b[2KOne\n\r\x1b[2KTwo\n\r\x1b[2K[........................................]   0%\n");
    view.show_progress(50);
    EXPECT_EQ(screen.text().substr(first.size()),
              "\x1b[3A\r\x1b[2KOne\n\r\x1b[2KTwo\n\r\x1b[2K[####################....................]  50%\n");

    Screen wide;
    StatusView cut(wide.file, true);  // not a terminal: 80 columns
    cut.show_text((std::string(100, 'x') + "\n\x1b]0;title\x07").c_str());
    EXPECT_NE(wide.text().find("\r\x1b[2K" + std::string(79, 'x') + "\n"), std::string::npos);
    EXPECT_NE(wide.text().find("\r\x1b[2K.]0;title.\n"), std::string::npos);
}

}  // namespace
