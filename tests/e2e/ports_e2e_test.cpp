// flashloader-cli tells the user why no COM port gave a modem, and lists the
// machine's ports.
#include "e2e_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <pty.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uint32_t LIMIT_MS = 60000;

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class PortsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/flashloader-ports-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    Outcome run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {})
    {
        E2eProcess process;
        EXPECT_TRUE(process.start(argv, env, dir_, dir_ + "/stderr"));
        int status = process.wait_exit(LIMIT_MS);
        return {status, process.output(), read_file(dir_ + "/stderr")};
    }

    // A job that probes only COM1, mapped to `device`.
    Outcome flash_on(const std::string& device)
    {
        Outcome tool = run({MODEMSIM_PATH, "--make-image", dir_ + "/image.hex", "--size", "256"});
        EXPECT_EQ(tool.status, 0) << tool.err;
        return run({FLASHLOADER_CLI_PATH, "-p", "1", "image.hex"}, {"FLASHLOADER_COM1=" + device});
    }

    std::string dir_;
};

TEST_F(PortsEndToEnd, ListPortsRunsOnThisMachine)
{
    Outcome listing = run({FLASHLOADER_CLI_PATH, "--list-ports"});
    EXPECT_EQ(listing.status, 0) << listing.err;
    EXPECT_TRUE(has(listing.out, "COM ports (FLASHLOADER_COM<n>, else /dev/ttyS<n-1>):\n  COM1  ")) << listing.out;
    EXPECT_TRUE(has(listing.out, "Map a device to a COM number")) << listing.out;

    Outcome usage = run({FLASHLOADER_CLI_PATH, "--list-ports", "--bogus"});
    EXPECT_EQ(usage.status, 2) << usage.err;
}

TEST_F(PortsEndToEnd, AMappedDeviceThatIsMissingIsNamedWithTheDevicesThatExist)
{
    std::string missing = dir_ + "/no-such-adapter";
    Outcome job = flash_on(missing);
    EXPECT_EQ(job.status, 1) << job.out << job.err;
    EXPECT_TRUE(has(job.out, "[Error...] Modem is not responding\n")) << job.out;
    EXPECT_TRUE(has(job.err, "Ports that could not be opened:\n  COM1 (" + missing + "): No such file or directory\n"))
        << job.err;
    EXPECT_TRUE(has(job.err, "Serial devices:") || has(job.err, "No serial devices found.")) << job.err;
    EXPECT_TRUE(has(job.err, "FLASHLOADER_COM1=")) << job.err;
}

TEST_F(PortsEndToEnd, APortHeldByAnotherProgramSaysWhatHoldsItAndHowToKeepItAway)
{
    int master = -1;
    int slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_EQ(flock(slave, LOCK_EX | LOCK_NB), 0);

    Outcome job = flash_on(name);
    EXPECT_EQ(job.status, 1) << job.out << job.err;
    EXPECT_TRUE(has(job.err, std::string("  COM1 (") + name + "): Device or resource busy; another program holds the "
                                                               "port: a terminal program, or a desktop modem manager"))
        << job.err;
    EXPECT_TRUE(has(job.err, "ID_MM_DEVICE_IGNORE=1")) << job.err;
    EXPECT_FALSE(has(job.err, "Serial devices")) << job.err;  // the device exists: no list
    ::close(master);
    ::close(slave);
}

TEST_F(PortsEndToEnd, SimulateMapsItsModemToCom1AndLeavesNothingBehind)
{
    std::string scratch = dir_ + "/tmp";
    fs::create_directory(scratch);
    Outcome job = run({FLASHLOADER_CLI_PATH, "--simulate", "-y"}, {"TMPDIR=" + scratch});
    EXPECT_EQ(job.status, 0) << job.out << job.err;
    EXPECT_TRUE(has(job.out, "Trying Comm 1 \n")) << job.out;
    EXPECT_TRUE(has(job.out, "Simulated modem: its flash holds the image.\n")) << job.out;
    EXPECT_TRUE(fs::is_empty(scratch)) << "the sample files are left behind";
}

}  // namespace
