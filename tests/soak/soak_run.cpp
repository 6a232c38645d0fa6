#include "soak_run.h"

#include "soak_process.h"

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

constexpr int TOOL_LIMIT_MS = 30000;
constexpr int DEVICE_LIMIT_MS = 10000;
// After the flasher has gone the simulator ends by itself once it notices;
// it may also be left waiting (a job that never reached it), and is then ended.
constexpr int MODEM_END_LIMIT_MS = 5000;

// What a sanitizer's report holds ("==PID==ERROR:" starts every report of
// AddressSanitizer and LeakSanitizer, also one that refuses to start).
const char* const SANITIZER_MARKS[] = {"==ERROR:", "AddressSanitizer", "LeakSanitizer", "runtime error:"};

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

bool sanitizer_report(const std::string& err)
{
    for (const char* mark : SANITIZER_MARKS)
        if (has(err, mark))
            return true;
    return false;
}

std::string describe(const ProcessEnd& end)
{
    switch (end.kind) {
    case ProcessEnd::Exited: return "exit " + std::to_string(end.code);
    case ProcessEnd::Signalled: return "signal " + std::to_string(end.code);
    case ProcessEnd::TimedOut: return "killed at the time limit";
    }
    return "?";
}

bool make_files(const SoakTools& tools, const SoakPlan& plan, const std::string& dir, std::string& detail)
{
    std::vector<std::vector<std::string>> commands = {
        {tools.modemsim, "--make-image", "image.hex", "--size", std::to_string(plan.image_size), "--sector",
         plan.sector, "--checksum", plan.checksum},
        {tools.modemsim, "--make-loader", "flashldr.hex"},
    };
    for (const auto& command : commands) {
        SoakProcess tool;
        if (!tool.start(command, {}, dir, dir + "/tool.out", dir + "/tool.err"))
            return false;
        ProcessEnd end = tool.wait_end(TOOL_LIMIT_MS);
        if (end.kind != ProcessEnd::Exited || end.code != 0) {
            detail = command[1] + ": " + describe(end) + " " + read_whole_file(dir + "/tool.err");
            return false;
        }
    }
    return true;
}

// Judges the flasher's end against what the simulator holds.
void judge(const ProcessEnd& cli_end, const ProcessEnd& sim_end, const std::string& dir, RunResult& result)
{
    std::string cli_out = read_whole_file(dir + "/cli.out");
    std::string cli_err = read_whole_file(dir + "/cli.err");
    std::string sim_err = read_whole_file(dir + "/sim.err");
    if (cli_end.kind == ProcessEnd::TimedOut) {
        result.hang = true;
        result.detail += "flasher hung; ";
    }
    if (cli_end.kind == ProcessEnd::Signalled || sim_end.kind == ProcessEnd::Signalled || sanitizer_report(cli_err) ||
        sanitizer_report(sim_err)) {
        result.crash = true;
        result.detail += "flasher " + describe(cli_end) + ", modem " + describe(sim_end) + "; ";
    }
    if (cli_end.kind != ProcessEnd::Exited)
        return;
    result.exit_status = cli_end.code;
    if (cli_end.code == 0) {
        bool flash_holds_image = sim_end.kind == ProcessEnd::Exited && sim_end.code == 0;
        bool completed = has(cli_out, "Programming Successfully Completed.");
        if (!flash_holds_image || !completed) {
            result.false_success = true;
            result.detail += std::string("exit 0 but ") +
                             (!flash_holds_image ? "the flash differs (modem " + describe(sim_end) + ")"
                                                 : "no completed programming") +
                             "; ";
        }
    }
    std::string audit = read_whole_file(dir + "/fd-audit.txt");
    if (audit.rfind("open: 0", 0) != 0) {
        result.leak = true;
        result.detail += audit.empty() ? "no descriptor audit at exit; " : "descriptors left open: " + audit;
    }
}

}  // namespace

RunResult run_soak_flash(const SoakTools& tools, const SoakPlan& plan, int run)
{
    RunResult result;
    result.dir = tools.work_dir + "/run-" + std::to_string(run);
    fs::create_directories(result.dir);
    const std::string& dir = result.dir;
    if (!make_files(tools, plan, dir, result.detail)) {
        result.setup_error = true;
        return result;
    }

    std::vector<std::string> sim_argv = {tools.modemsim, "--exit-after-job", "--expect", "image.hex"};
    for (const std::string& option : modem_options(plan))
        sim_argv.push_back(option);
    SoakProcess sim;
    std::string device;
    if (sim.start(sim_argv, {}, dir, dir + "/sim.out", dir + "/sim.err"))
        device = wait_first_line(dir + "/sim.out", DEVICE_LIMIT_MS);
    if (device.empty()) {
        result.setup_error = true;
        result.detail = "modemsim gave no device: " + read_whole_file(dir + "/sim.err");
        return result;
    }

    // The preloaded audit library is no sanitized library: a sanitized
    // flasher must not insist on its runtime coming first.
    std::string asan_options = "verify_asan_link_order=0";
    if (const char* given = std::getenv("ASAN_OPTIONS"))
        asan_options += std::string(":") + given;
    std::vector<std::string> cli_env = {"LD_PRELOAD=" + tools.fd_audit, "FD_AUDIT_OUT=" + dir + "/fd-audit.txt",
                                        "ASAN_OPTIONS=" + asan_options};
    std::vector<std::string> cli_argv = {tools.cli, plan.answer_yes ? "-y" : "-n", "-d", device, "image.hex"};
    SoakProcess cli;
    if (!cli.start(cli_argv, cli_env, dir, dir + "/cli.out", dir + "/cli.err")) {
        result.setup_error = true;
        result.detail = "flashloader-cli could not be started";
        return result;
    }
    ProcessEnd cli_end = cli.wait_end(tools.hang_limit_ms);
    if (cli.left_processes()) {
        result.leak = true;
        result.detail += "the flasher left a process running; ";
    }
    ProcessEnd sim_end = sim.wait_end(MODEM_END_LIMIT_MS);
    judge(cli_end, sim_end, dir, result);
    if (!run_went_wrong(result))
        fs::remove_all(dir);
    return result;
}

bool run_went_wrong(const RunResult& result)
{
    return result.false_success || result.crash || result.hang || result.leak || result.setup_error;
}
