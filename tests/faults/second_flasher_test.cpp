// A second flasher on a line in use must fail to open it and leave the first
// job alone; the lock holds for root too, who passes the terminal's own
// exclusive mode.
#include "e2e_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uint32_t LIMIT_MS = 60000;

TEST(SecondFlasher, CannotOpenALineInUseAndTheFirstJobStillSucceeds)
{
    char pattern[] = "/tmp/flashloader-faults-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string dir = pattern;
    E2eProcess tool;
    ASSERT_TRUE(tool.start({MODEMSIM_PATH, "--make-image", dir + "/image.hex", "--size", "2048"}, {}, dir,
                           dir + "/tool.err"));
    ASSERT_EQ(tool.wait_exit(LIMIT_MS), 0);
    ASSERT_TRUE(tool.start({MODEMSIM_PATH, "--make-loader", dir + "/flashldr.hex"}, {}, dir, dir + "/tool.err"));
    ASSERT_EQ(tool.wait_exit(LIMIT_MS), 0);

    E2eProcess sim;
    ASSERT_TRUE(sim.start({MODEMSIM_PATH, "--exit-after-job", "--record-ms", "20", "--expect", dir + "/image.hex"}, {},
                          dir, dir + "/sim.log"));
    std::string device = sim.first_line(LIMIT_MS);
    ASSERT_FALSE(device.empty());

    E2eProcess first;
    ASSERT_TRUE(first.start({FLASHLOADER_CLI_PATH, "-v", "-d", device, "image.hex"}, {}, dir, dir + "/first.log"));
    ASSERT_TRUE(first.wait_for_output("Programming the Flash\n", LIMIT_MS)) << first.output();

    E2eProcess second;
    ASSERT_TRUE(second.start({FLASHLOADER_CLI_PATH, "-v", "-d", device, "image.hex"}, {}, dir, dir + "/second.log"));
    EXPECT_EQ(second.wait_exit(LIMIT_MS), 1) << second.output();
    std::string second_log = read_file(dir + "/second.log");
    EXPECT_NE(second_log.find("another program holds the port"), std::string::npos) << second_log;
    EXPECT_EQ(second.output().find("Programming"), std::string::npos) << second.output();

    EXPECT_EQ(first.wait_exit(LIMIT_MS), 0) << first.output() << read_file(dir + "/first.log");
    EXPECT_EQ(sim.wait_exit(LIMIT_MS), 0) << read_file(dir + "/sim.log");
    fs::remove_all(dir);
}

}  // namespace
