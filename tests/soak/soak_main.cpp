// flash_soak: many flashes of flashloader-cli against modemsim, each with a
// modem set-up and random faults drawn from a seed, two at a time. Counts
// false successes, crashes, hangs and leaks; exits 1 when any is not 0.
//
//   flash_soak --cli PATH --modemsim PATH --fd-audit PATH
//              [--runs N] [--seed S] [--first K] [--jobs J] [--hang-ms MS]
//              [--keep-failed 0|1]
#include "soak_plan.h"
#include "soak_run.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct SoakOptions {
    SoakTools tools;
    int runs = 1000;
    int first = 0;  // the number of the first run: --first K --runs 1 repeats run K
    uint64_t seed = 1;
    int jobs = 2;
    bool keep_failed = true;  // keep the files of runs that went wrong
};

struct Tally {
    int runs = 0;
    std::map<int, int> by_status;  // flasher exit status -> runs
    int false_successes = 0, crashes = 0, hangs = 0, leaks = 0, setup_errors = 0;
};

bool parse_options(int argc, char** argv, SoakOptions& options)
{
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (i + 1 >= argc)
            return false;
        std::string value = argv[++i];
        if (name == "--cli")
            options.tools.cli = fs::absolute(value).string();
        else if (name == "--modemsim")
            options.tools.modemsim = fs::absolute(value).string();
        else if (name == "--fd-audit")
            options.tools.fd_audit = fs::absolute(value).string();
        else if (name == "--runs")
            options.runs = std::atoi(value.c_str());
        else if (name == "--first")
            options.first = std::atoi(value.c_str());
        else if (name == "--seed")
            options.seed = std::strtoull(value.c_str(), nullptr, 10);
        else if (name == "--jobs")
            options.jobs = std::atoi(value.c_str());
        else if (name == "--keep-failed")
            options.keep_failed = value != "0";
        else if (name == "--hang-ms")
            options.tools.hang_limit_ms = std::atoi(value.c_str());
        else
            return false;
    }
    return !options.tools.cli.empty() && !options.tools.modemsim.empty() && !options.tools.fd_audit.empty() &&
           options.runs > 0 && options.first >= 0 && options.jobs > 0 && options.tools.hang_limit_ms > 0;
}

void print_plan(const SoakPlan& plan)
{
    std::printf("    %s, image %d bytes (sector %s, checksum %s), answer %s, modem:", setup_name(plan.setup),
                plan.image_size, plan.sector.c_str(), plan.checksum.c_str(), plan.answer_yes ? "-y" : "-n");
    for (const std::string& option : modem_options(plan))
        std::printf(" %s", option.c_str());
    std::printf("\n");
}

void add_to_tally(Tally& tally, const RunResult& result)
{
    ++tally.runs;
    if (result.exit_status >= 0)
        ++tally.by_status[result.exit_status];
    tally.false_successes += result.false_success;
    tally.crashes += result.crash;
    tally.hangs += result.hang;
    tally.leaks += result.leak;
    tally.setup_errors += result.setup_error;
}

int bad_count(const Tally& tally)
{
    return tally.false_successes + tally.crashes + tally.hangs + tally.leaks + tally.setup_errors;
}

void print_summary(const SoakOptions& options, const Tally& tally, double seconds)
{
    auto status_runs = [&](int status) {
        auto found = tally.by_status.find(status);
        return found == tally.by_status.end() ? 0 : found->second;
    };
    int other = tally.runs - status_runs(0) - status_runs(1) - status_runs(2) - status_runs(3);
    std::printf("\nSoak: seed %llu, runs %d to %d, %d at a time, %.0f s\n",
                static_cast<unsigned long long>(options.seed), options.first, options.first + options.runs - 1,
                options.jobs, seconds);
    std::printf("  runs                     %6d\n", tally.runs);
    std::printf("  successes (exit 0)       %6d\n", status_runs(0));
    std::printf("  failures (exit 1)        %6d\n", status_runs(1));
    std::printf("  usage errors (exit 2)    %6d\n", status_runs(2));
    std::printf("  declined (exit 3)        %6d\n", status_runs(3));
    std::printf("  no exit status / other   %6d\n", other);
    std::printf("  false successes          %6d\n", tally.false_successes);
    std::printf("  crashes                  %6d\n", tally.crashes);
    std::printf("  hangs                    %6d\n", tally.hangs);
    std::printf("  leaks                    %6d\n", tally.leaks);
    std::printf("  runs not prepared        %6d\n", tally.setup_errors);
    std::printf("%s\n", bad_count(tally) == 0 ? "Soak passed." : "Soak FAILED.");
}

}  // namespace

int main(int argc, char** argv)
{
    SoakOptions options;
    if (!parse_options(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: flash_soak --cli PATH --modemsim PATH --fd-audit PATH [--runs N] [--seed S] "
                     "[--first K] [--jobs J] [--hang-ms MS] [--keep-failed 0|1]\n");
        return 2;
    }
    char pattern[] = "/tmp/flash-soak-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 2;
    }
    options.tools.work_dir = pattern;
    setvbuf(stdout, nullptr, _IOLBF, 0);

    auto started = std::chrono::steady_clock::now();
    std::atomic<int> next_run{options.first};
    const int end_run = options.first + options.runs;
    std::mutex report_lock;
    Tally tally;
    auto worker = [&] {
        for (int run = next_run++; run < end_run; run = next_run++) {
            SoakPlan plan = draw_plan(options.seed, run);
            RunResult result = run_soak_flash(options.tools, plan, run);
            std::lock_guard<std::mutex> hold(report_lock);
            add_to_tally(tally, result);
            if (run_went_wrong(result)) {
                std::printf("run %d WENT WRONG: %s\n", run, result.detail.c_str());
                print_plan(plan);
                std::printf("    files in %s; repeat with --seed %llu --first %d --runs 1\n", result.dir.c_str(),
                            static_cast<unsigned long long>(options.seed), run);
            }
            if (tally.runs % 50 == 0)
                std::printf("%d runs done\n", tally.runs);
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < options.jobs; ++i)
        workers.emplace_back(worker);
    for (std::thread& running : workers)
        running.join();

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    print_summary(options, tally, seconds);
    std::error_code ignored;
    if (bad_count(tally) == 0 || !options.keep_failed)
        fs::remove_all(options.tools.work_dir, ignored);
    return bad_count(tally) == 0 ? 0 : 1;
}
