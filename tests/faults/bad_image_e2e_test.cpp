// Images that cannot be programmed whole are refused by flashloader-cli
// before it sends anything to the modem, so nothing is erased for them; a
// 100 MB file is scanned in bounded memory and refused with a clear message.
#include "e2e_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uint32_t LIMIT_MS = 60000;

// Binary bytes in short lines, so that only their content gives them away.
std::string binary_bytes()
{
    std::string bytes;
    for (int i = 0; i < 4096; ++i)
        bytes.push_back(i % 40 == 39 ? '\n' : static_cast<char>((i * 37 + 11) % 251));
    return bytes;
}

TEST(BadImageEndToEnd, IsRefusedBeforeTheModemReceivesAnything)
{
    char pattern[] = "/tmp/flashloader-faults-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string dir = pattern;
    E2eProcess tool;
    ASSERT_TRUE(tool.start({MODEMSIM_PATH, "--make-loader", dir + "/flashldr.hex"}, {}, dir, dir + "/tool.err"));
    ASSERT_EQ(tool.wait_exit(LIMIT_MS), 0);

    struct Case {
        const char* file;
        std::string content;
        size_t copies;  // the content repeated, to make a large file
        const char* message;
    } cases[] = {
        {"empty.hex", "", 1, "[Bad Image File] empty.hex holds no Intel HEX record."},
        {"binary.hex", binary_bytes(), 1, "[Bad Image File] binary.hex is not an Intel HEX text file (byte 0x0B in line 1)."},
        {"long.hex", ":" + std::string(200, '0') + "\n", 1,
         "[Line Too Long] Line 1 of long.hex is too long for the modem (more than 126 characters)."},
        {"big.hex", std::string(63, ' ') + "\n", 100 * 1024 * 1024 / 64,
         "[Bad Image File] big.hex holds no Intel HEX record."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        {
            std::ofstream out(dir + "/" + c.file, std::ios::binary);
            for (size_t i = 0; i < c.copies; ++i)
                out << c.content;
        }
        E2eProcess sim;
        ASSERT_TRUE(sim.start({MODEMSIM_PATH, "-v"}, {}, dir, dir + "/sim.log"));
        std::string device = sim.first_line(LIMIT_MS);
        ASSERT_FALSE(device.empty());

        E2eProcess cli;
        ASSERT_TRUE(cli.start({FLASHLOADER_CLI_PATH, "-v", "-d", device, c.file}, {}, dir, dir + "/cli.log"));
        EXPECT_EQ(cli.wait_exit(LIMIT_MS), 1) << cli.output() << read_file(dir + "/cli.log");
        EXPECT_NE(cli.output().find(std::string(c.message) + "\n"), std::string::npos) << cli.output();
        EXPECT_EQ(cli.output().find("Trying Comm"), std::string::npos) << cli.output();

        sim.send_signal(SIGTERM);
        sim.wait_exit(LIMIT_MS);
        std::string modem_log = read_file(dir + "/sim.log");
        EXPECT_EQ(modem_log.find("<< "), std::string::npos) << modem_log;
        fs::remove(dir + "/" + c.file);
    }
    fs::remove_all(dir);
}

}  // namespace
