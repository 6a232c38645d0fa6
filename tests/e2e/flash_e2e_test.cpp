// Whole jobs: flashloader-cli as a process against modemsim on a
// pseudo-terminal, the simulator comparing its flash with the image at the
// end (--expect: exit status 0 when they are equal). Every COM port a test
// does not serve maps to a device that does not exist, so no test touches a
// serial port of the machine.
#include "e2e_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uint32_t JOB_LIMIT_MS = 60000;  // a hang fails the test, it never blocks CTest
constexpr uint32_t SIM_END_LIMIT_MS = 10000;

struct CliRun {
    int status;
    std::string out;  // what the user sees
    std::string log;  // the debug log (-v)
};

class FlashJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/flashloader-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        sim_.kill_now();
        fs::remove_all(dir_);
    }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // The image and the loader file in the job's current directory.
    void make_files(std::vector<std::string> image_options = {})
    {
        std::vector<std::string> image = {MODEMSIM_PATH, "--make-image", path("image.hex"), "--size", "2048"};
        image.insert(image.end(), image_options.begin(), image_options.end());
        ASSERT_EQ(run_tool(image), 0);
        ASSERT_EQ(run_tool({MODEMSIM_PATH, "--make-loader", path("flashldr.hex")}), 0);
    }

    int run_tool(const std::vector<std::string>& argv)
    {
        E2eProcess tool;
        if (!tool.start(argv, {}, dir_, path("tool.err")))
            return -1;
        return tool.wait_exit(JOB_LIMIT_MS);
    }

    // Starts the simulated modem; returns the device the flasher opens.
    std::string start_modem(std::vector<std::string> options = {})
    {
        std::vector<std::string> argv = {MODEMSIM_PATH, "-v", "--exit-after-job", "--expect", path("image.hex")};
        argv.insert(argv.end(), options.begin(), options.end());
        EXPECT_TRUE(sim_.start(argv, {}, dir_, path("sim.log")));
        std::string device = sim_.first_line(SIM_END_LIMIT_MS);
        EXPECT_FALSE(device.empty()) << read_file(path("sim.log"));
        return device;
    }

    // The simulator's verdict on its flash once the job has ended: 0 when it
    // holds the image.
    int modem_verdict() { return sim_.wait_exit(SIM_END_LIMIT_MS); }
    std::string modem_log() { return read_file(path("sim.log")); }

    // COMn for n = served_port is `device`; every other port is missing.
    void start_cli(E2eProcess& cli, std::vector<std::string> args, int served_port = 0, const std::string& device = "")
    {
        std::vector<std::string> env;
        for (int n = 1; n <= 15; ++n) {
            std::string target = n == served_port ? device : path("no-such-COM" + std::to_string(n));
            env.push_back("FLASHLOADER_COM" + std::to_string(n) + "=" + target);
        }
        args.insert(args.begin(), {FLASHLOADER_CLI_PATH, "-v"});
        ASSERT_TRUE(cli.start(args, env, dir_, path("cli.log")));
    }

    CliRun run_cli(std::vector<std::string> args, int served_port = 0, const std::string& device = "")
    {
        E2eProcess cli;
        start_cli(cli, args, served_port, device);
        int status = cli.wait_exit(JOB_LIMIT_MS);
        return {status, cli.output(), read_file(path("cli.log"))};
    }

    std::string dir_;
    E2eProcess sim_;
};

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

int count(const std::string& text, const std::string& part)
{
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

TEST_F(FlashJob, FullLoadProbesDownDownloadsTheLoaderAndProgramsTheImage)
{
    make_files();
    std::string device = start_modem();
    CliRun run = run_cli({"image.hex"}, 2, device);

    EXPECT_EQ(run.status, 0) << run.out << run.log;
    EXPECT_TRUE(has(run.out, "Trying Comm 4 \nTrying Comm 3 \nTrying Comm 2 \n")) << run.out;
    EXPECT_TRUE(has(run.out, "Downloading flashldr.hex")) << run.out;
    EXPECT_TRUE(has(run.out, "Programming Successfully Completed.\n")) << run.out;
    EXPECT_TRUE(has(run.out, "[    All Done...] Flash Programming Completed\n")) << run.out;
    EXPECT_TRUE(has(run.log, "no-such-COM4): No such file or directory")) << run.log;
    EXPECT_EQ(modem_verdict(), 0) << modem_log();
}

TEST_F(FlashJob, AResidentLoaderThatFitsTheImageNeedsNoLoaderFile)
{
    for (bool running : {true, false}) {
        SCOPED_TRACE(running ? "resident loader running" : "resident loader held");
        make_files({"--sector", "40", "--checksum", "1A2B"});
        fs::remove(path("flashldr.hex"));
        std::vector<std::string> modem = {"--resident", "40:1A2B"};
        if (running)
            modem.push_back("--in-rrfl");
        std::string device = start_modem(modem);
        CliRun run = run_cli({"-d", device, "image.hex"});

        EXPECT_EQ(run.status, 0) << run.out << run.log;
        EXPECT_TRUE(has(run.out, "Erasing: Please be Patient...")) << run.out;
        EXPECT_FALSE(has(run.out, "flashldr.hex")) << run.out;
        EXPECT_TRUE(has(run.out, "Programming Successfully Completed.\n")) << run.out;
        EXPECT_EQ(has(modem_log(), "<< AT&&FFL"), !running);
        EXPECT_EQ(modem_verdict(), 0) << modem_log();
    }
}

TEST_F(FlashJob, ADeclinedTypeMismatchEndsBeforeAnythingIsErased)
{
    make_files({"--type", "I"});
    std::string device = start_modem({"--type", "C"});
    CliRun run = run_cli({"--no", "-d", device, "image.hex"});

    EXPECT_EQ(run.status, 3) << run.out << run.log;
    EXPECT_TRUE(has(run.out, "n (--no)\n")) << run.out;
    EXPECT_FALSE(has(run.out, "Programming")) << run.out;
    std::string log = modem_log();
    EXPECT_FALSE(has(log, "<< AT&&FFL") || has(log, "<< AT&&FGO") || has(log, "<< at&&f:")) << log;
    EXPECT_EQ(modem_verdict(), 1) << log;
}

TEST_F(FlashJob, AnIncompatibleRunningResidentLoadIsReportedAndLeftAlone)
{
    make_files({"--sector", "40", "--checksum", "0000"});
    std::string device = start_modem({"--resident", "40:1A2B", "--in-rrfl"});
    CliRun run = run_cli({"--yes", "-d", device, "image.hex"});

    EXPECT_EQ(run.status, 1) << run.out << run.log;
    EXPECT_TRUE(has(run.out, "[INCOMPATIBLE LOAD] IN RRFl but file ")) << run.out;
    EXPECT_FALSE(has(modem_log(), "<< AT&&FGO")) << modem_log();
    EXPECT_EQ(modem_verdict(), 1);
}

TEST_F(FlashJob, ANok4WithARestartAcceptedStillProgramsTheWholeImage)
{
    make_files();
    std::string device = start_modem({"--fault", "nok4@line=20"});
    CliRun run = run_cli({"--yes", "-d", device, "image.hex"});

    EXPECT_EQ(run.status, 0) << run.out << run.log;
    EXPECT_TRUE(has(run.out, "[You May Have Cooked the Flash Chip!] Chip Failed to Program Properly\nWould you like "
                             "to Retry. [Y/n] y (--yes)\n"))
        << run.out;
    EXPECT_TRUE(has(modem_log(), "<< Z")) << modem_log();
    EXPECT_TRUE(has(run.out, "Programming Successfully Completed.\n")) << run.out;
    EXPECT_EQ(modem_verdict(), 0) << modem_log();
}

// Unattended, a chip that fails every time must not be restarted forever.
TEST_F(FlashJob, YesRestartsAFailingChipThreeTimesThenGivesUp)
{
    make_files();
    std::string device = start_modem({"--fault", "nok4@line=p1"});
    CliRun run = run_cli({"--yes", "-d", device, "image.hex"});

    const std::string question = "[You May Have Cooked the Flash Chip!] Chip Failed to Program Properly\n"
                                 "Would you like to Retry. [Y/n] ";
    EXPECT_EQ(run.status, 1) << run.out << run.log;
    EXPECT_EQ(count(run.out, question + "y (--yes)\n"), 3) << run.out;
    EXPECT_EQ(count(run.out, question + "n (--yes gives up after 3 restarts)\n"), 1) << run.out;
    EXPECT_TRUE(has(run.out, "Abandon Chip!!")) << run.out;
    EXPECT_EQ(count(modem_log(), "<< Z"), 3) << modem_log();
    EXPECT_EQ(modem_verdict(), 1);
}

TEST_F(FlashJob, CtrlCWhileStreamingAsksThenReleasesTheModem)
{
    make_files();
    std::string device = start_modem({"--record-ms", "40"});
    E2eProcess cli;
    start_cli(cli, {"-d", device, "image.hex"});
    ASSERT_TRUE(cli.wait_for_output("Programming the Flash\n", JOB_LIMIT_MS)) << cli.output();
    cli.send_signal(SIGINT);
    int status = cli.wait_exit(JOB_LIMIT_MS);
    std::string log = read_file(path("cli.log"));

    // Without a terminal the question takes its default button, Yes.
    EXPECT_EQ(status, 3) << cli.output() << log;
    EXPECT_TRUE(has(cli.output(), "[You May Have Cooked the Flash Chip!] Are you Sure you want to Kill the Flash "
                                  "Loader? [Y/n] y (default)\n"))
        << cli.output();
    EXPECT_FALSE(has(cli.output(), "Programming Successfully Completed.")) << cli.output();
    EXPECT_TRUE(has(log, "FLASH: Flash Destroy Window")) << log;
    EXPECT_EQ(modem_verdict(), 1);  // ended by the "Y" before the image was complete
    // The "Y" arrives alone or right behind the last line the modem read.
    std::string modem = modem_log();
    EXPECT_TRUE(has(modem, "<< Y\n") || has(modem, "\\rY\n")) << modem;
}

TEST_F(FlashJob, CtrlCOutsideImageWritingEndsTheJobAtOnce)
{
    make_files();
    std::string device = start_modem({"--fault", "silent@cmd=1-"});
    E2eProcess cli;
    start_cli(cli, {"--yes", "-d", device, "image.hex"});
    ASSERT_TRUE(cli.wait_for_output("Trying Comm 1 \n", JOB_LIMIT_MS)) << cli.output();
    cli.send_signal(SIGINT);  // taken once the probe's blocking dialogue returns
    int status = cli.wait_exit(JOB_LIMIT_MS);
    std::string log = read_file(path("cli.log"));

    EXPECT_EQ(status, 3) << cli.output() << log;
    EXPECT_FALSE(has(cli.output(), "Kill the Flash Loader")) << cli.output();
    EXPECT_FALSE(has(cli.output(), "Modem is not responding")) << cli.output();
    EXPECT_FALSE(has(log, "FLASH: Flash Destroy Window")) << log;
}

TEST_F(FlashJob, WithoutAModemEveryPortIsTriedThenTheUserIsTold)
{
    make_files();
    CliRun run = run_cli({"-p", "3", "image.hex"});

    EXPECT_EQ(run.status, 1) << run.out << run.log;
    EXPECT_TRUE(has(run.out, "Trying Comm 3 \nTrying Comm 2 \nTrying Comm 1 \n")) << run.out;
    EXPECT_TRUE(has(run.out, "[Error...] Modem is not responding\n")) << run.out;
}

TEST_F(FlashJob, UsageErrorsEndBeforeAnyPortIsOpened)
{
    make_files();
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{}, "no IMAGE given, and no terminal to ask for one"},
        {{"missing.hex"}, "missing.hex: No such file or directory"},
        {{"-p", "0", "image.hex"}, "invalid port '0'"},
    };
    for (const Case& c : cases) {
        CliRun run = run_cli(c.args);
        EXPECT_EQ(run.status, 2) << c.message;
        EXPECT_TRUE(has(run.log, c.message)) << run.log;
        EXPECT_FALSE(has(run.log, "Trying Comm")) << run.log;
    }
}

}  // namespace
