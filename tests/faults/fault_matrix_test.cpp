// The fault matrix: for each phase of a job (probe, resident-loader start,
// loader download, erase, streaming, restart) and each fault modemsim can
// inject there, a whole flashloader-cli run that must end in bounded time,
// report the outcome the fault leads to, release the port, and claim success
// only when the simulated flash really equals the image.
#include "e2e_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Longest wait a cell may meet: a probe dialogue and a few 3-second loader
// lines; none of the cells waits out the 180-second erase time-out.
constexpr uint32_t JOB_LIMIT_MS = 60000;
constexpr uint32_t SIM_LIMIT_MS = 10000;

enum Outcome { SUCCESS = 0, FAILURE = 1 };

struct Cell {
    const char* name;
    std::vector<std::string> image;  // options of --make-image
    std::vector<std::string> modem;  // options of the simulator
    std::vector<std::string> cli;    // extra options of the flasher
    int status;                      // expected exit status
    const char* message;             // the last thing the user is told
    bool y_sent;                     // teardown reached a live line
};

const std::vector<std::string> RESIDENT_IMAGE = {"--sector", "40", "--checksum", "1A2B"};
const char* DONE = "[    All Done...] Flash Programming Completed";
const char* NO_MODEM = "[Error...] Modem is not responding";

std::vector<std::string> resident(const std::string& fault)
{
    return {"--resident", "40:1A2B", "--fault", fault};
}

// Command numbers of a full load: 1-5 the probe (AAAAT, AT, AAAAT, AT&&F,
// ATI5), 6 AT&&FFL, 7 on the loader's records. Image lines count from 1;
// line 1 is the one answered after the erase.
const std::vector<Cell> CELLS = {
    {"probe silent", {}, {"--fault", "silent@cmd=1-"}, {}, FAILURE, NO_MODEM, false},
    {"probe late", {}, {"--fault", "late@cmd=2"}, {}, SUCCESS, DONE, true},
    {"probe garbage", {}, {"--fault", "garbage@cmd=1"}, {}, SUCCESS, DONE, true},
    {"probe stream", {}, {"--fault", "stream@cmd=1"}, {}, FAILURE, NO_MODEM, false},
    {"probe tx-corrupt on ATI5", {}, {"--fault", "tx-corrupt@cmd=5"}, {}, SUCCESS, DONE, true},
    {"probe vanish", {}, {"--fault", "vanish@cmd=5"}, {}, FAILURE, NO_MODEM, false},
    {"resident start silent", RESIDENT_IMAGE, resident("silent@cmd=AT&&FGO"), {}, FAILURE, NO_MODEM, true},
    {"resident start late", RESIDENT_IMAGE, resident("late@cmd=AT&&FGO"), {}, FAILURE, NO_MODEM, true},
    {"resident start stream", RESIDENT_IMAGE, resident("stream@cmd=AT&&FGO"), {}, FAILURE, NO_MODEM, true},
    {"resident start vanish", RESIDENT_IMAGE, resident("vanish@cmd=AT&&FGO"), {}, FAILURE, NO_MODEM, false},
    {"loader silent", {}, {"--fault", "silent@cmd=9"}, {}, FAILURE, NO_MODEM, true},
    {"loader late", {}, {"--fault", "late@cmd=9"}, {}, SUCCESS, DONE, true},
    {"loader nok1", {}, {"--fault", "nok1@cmd=9"}, {}, SUCCESS, DONE, true},
    {"loader rx-corrupt", {}, {"--fault", "rx-corrupt@cmd=9"}, {}, FAILURE, NO_MODEM, true},
    {"loader garbage", {}, {"--fault", "garbage@cmd=9"}, {}, SUCCESS, DONE, true},
    {"loader stream", {}, {"--fault", "stream@cmd=9"}, {}, FAILURE, NO_MODEM, true},
    {"loader vanish", {}, {"--fault", "vanish@cmd=9"}, {}, FAILURE, NO_MODEM, false},
    {"erase late", {}, {"--fault", "late@line=1"}, {}, SUCCESS, DONE, true},
    {"erase nok1", {}, {"--fault", "nok1@line=1"}, {}, SUCCESS, DONE, true},
    {"stream silent", {}, {"--fault", "silent@line=20"}, {}, SUCCESS, DONE, true},
    {"stream late", {}, {"--fault", "late@line=20"}, {}, SUCCESS, DONE, true},
    {"stream nok1", {}, {"--fault", "nok1@line=20"}, {}, SUCCESS, DONE, true},
    {"stream nok2", {}, {"--fault", "nok2@line=20"}, {}, SUCCESS, DONE, true},
    {"stream nok3", {}, {"--fault", "nok3@line=20"}, {}, SUCCESS, DONE, true},
    {"stream nok4 restart declined", {}, {"--fault", "nok4@line=20"}, {"--no"}, FAILURE, "[Flash Error] Abandon Chip!!",
     true},
    {"stream rx-corrupt", {}, {"--fault", "rx-corrupt@line=20"}, {}, SUCCESS, DONE, true},
    {"stream rx-drop", {}, {"--fault", "rx-drop@line=20"}, {}, SUCCESS, DONE, true},
    {"stream tx-corrupt", {}, {"--fault", "tx-corrupt@line=20"}, {}, SUCCESS, DONE, true},
    {"stream tx-drop", {}, {"--fault", "tx-drop@line=20"}, {}, SUCCESS, DONE, true},
    {"stream garbage", {}, {"--fault", "garbage@line=20"}, {}, SUCCESS, DONE, true},
    {"stream endless noise", {}, {"--fault", "stream@line=20"}, {}, FAILURE, NO_MODEM, true},
    {"stream vanish", {}, {"--fault", "vanish@line=20"}, {}, FAILURE,
     "[Solid CommError] Failed to write line to Modem", false},
    {"late answer then nok3 on the next line", {}, {"--fault", "late@line=20", "--fault", "nok3@line=21"}, {},
     SUCCESS, DONE, true},
    // The late answer to line 20 and the answer to its resend both come;
    // taken one line late, the NOK3 would fall on the wrong record and leave
    // a record unprogrammed under a reported success.
    {"late answers then nok3 two lines on", {},
     {"--fault", "late:1200@line=20", "--fault", "late:300@line=21", "--fault", "late:600@line=22", "--fault",
      "nok3@line=22"},
     {}, SUCCESS, DONE, true},
    {"late answer then nok1 on the next line", {}, {"--fault", "late@line=20", "--fault", "nok1@line=21"}, {},
     SUCCESS, DONE, true},
    {"restart Z silent", {}, {"--fault", "nok4@line=20", "--fault", "silent@cmd=Z"}, {"--yes"}, SUCCESS, DONE, true},
    {"restart Z vanish", {}, {"--fault", "nok4@line=20", "--fault", "vanish@cmd=Z"}, {"--yes"}, SUCCESS, DONE, true},
};

struct Result {
    int status = -2;
    std::string out;
    std::string cli_log;
    std::string modem_log;
    bool second_open = false;  // a second exclusive open of the line after the job
    bool modem_alive = false;
    int verdict = -2;  // modemsim --expect: 0 when the flash equals the image
    std::string setup_error;
};

int run_tool(const std::vector<std::string>& argv, const std::string& dir)
{
    E2eProcess tool;
    if (!tool.start(argv, {}, dir, dir + "/tool.err"))
        return -1;
    return tool.wait_exit(JOB_LIMIT_MS);
}

// Whether the line can be opened and locked exclusively, as the flasher does.
bool opens_exclusively(const std::string& device)
{
    int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return locked;
}

Result run_cell(const Cell& cell)
{
    Result r;
    char pattern[] = "/tmp/flashloader-faults-XXXXXX";
    if (!mkdtemp(pattern)) {
        r.setup_error = "mkdtemp";
        return r;
    }
    std::string dir = pattern;
    std::vector<std::string> image = {MODEMSIM_PATH, "--make-image", dir + "/image.hex", "--size", "2048"};
    image.insert(image.end(), cell.image.begin(), cell.image.end());
    if (run_tool(image, dir) != 0 || run_tool({MODEMSIM_PATH, "--make-loader", dir + "/flashldr.hex"}, dir) != 0) {
        r.setup_error = "sample files";
        fs::remove_all(dir);
        return r;
    }
    // The simulator keeps serving after the job, so the line can be opened
    // again; its verdict is taken when it is stopped.
    std::vector<std::string> modem = {MODEMSIM_PATH, "-v", "--erase-ms", "20", "--expect", dir + "/image.hex"};
    modem.insert(modem.end(), cell.modem.begin(), cell.modem.end());
    E2eProcess sim;
    std::string device;
    if (sim.start(modem, {}, dir, dir + "/sim.log"))
        device = sim.first_line(SIM_LIMIT_MS);
    if (device.empty()) {
        r.setup_error = "modemsim did not start";
        fs::remove_all(dir);
        return r;
    }
    std::vector<std::string> cli = {FLASHLOADER_CLI_PATH, "-v"};
    cli.insert(cli.end(), cell.cli.begin(), cell.cli.end());
    cli.insert(cli.end(), {"-d", device, "image.hex"});
    std::vector<std::string> env;
    for (int n = 1; n <= 15; ++n)
        env.push_back("FLASHLOADER_COM" + std::to_string(n) + "=" + dir + "/no-such-COM" + std::to_string(n));
    E2eProcess flasher;
    if (flasher.start(cli, env, dir, dir + "/cli.log")) {
        r.status = flasher.wait_exit(JOB_LIMIT_MS);
        r.out = flasher.output();
    }
    // Once the simulator has ended, its pty number may already serve another
    // test's simulator: only a running simulator's line is checked.
    r.modem_alive = sim.running() && fs::exists(device);
    r.second_open = r.modem_alive && opens_exclusively(device);
    sim.send_signal(SIGTERM);
    r.verdict = sim.wait_exit(SIM_LIMIT_MS);
    r.cli_log = read_file(dir + "/cli.log");
    r.modem_log = read_file(dir + "/sim.log");
    fs::remove_all(dir);
    return r;
}

std::string last_message(const std::string& out)
{
    std::string last;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        std::string line = out.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.rfind("Progress ", 0) != 0 && line.rfind("Time Elapsed", 0) != 0)
            last = line;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return last;
}

bool y_in(const std::string& modem_log)
{
    return modem_log.find("<< Y\n") != std::string::npos || modem_log.find("\\rY\n") != std::string::npos;
}

TEST(FaultMatrix, EveryFaultEndsInBoundedTimeReleasesThePortAndNeverFakesSuccess)
{
    std::vector<Result> results(CELLS.size());
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < CELLS.size(); i = next++)
            results[i] = run_cell(CELLS[i]);
    };
    std::thread a(worker), b(worker);
    a.join();
    b.join();

    for (size_t i = 0; i < CELLS.size(); ++i) {
        const Cell& cell = CELLS[i];
        const Result& r = results[i];
        SCOPED_TRACE(cell.name);
        ASSERT_EQ(r.setup_error, "");
        std::string detail = r.out + r.cli_log + r.modem_log;
        // -1: killed at the limit or died by a signal.
        EXPECT_EQ(r.status, cell.status) << detail;
        EXPECT_EQ(last_message(r.out), cell.message) << r.out;
        // Success only over a flash that equals the image, and a failure
        // here always leaves a flash that differs.
        EXPECT_EQ(r.verdict, r.status == 0 ? 0 : 1) << r.modem_log;
        EXPECT_EQ(y_in(r.modem_log), cell.y_sent) << r.modem_log;
        if (r.modem_alive)
            EXPECT_TRUE(r.second_open) << "the line is still held after the flasher ended";
        else
            EXPECT_FALSE(cell.y_sent) << "the simulator ended on its own only where the line vanished";
    }
}

}  // namespace
