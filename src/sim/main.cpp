// modemsim: a simulated modem on a pseudo-terminal (or a serial device) for
// running the flasher without hardware.
#include "sim/hex_image.h"
#include "sim/line_server.h"
#include "sim/modem.h"
#include "sim/options.h"
#include "sim/sample_files.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<bool> stop_requested{false};

void request_stop(int)
{
    stop_requested.store(true);
}

void install_signal_handlers()
{
    struct sigaction action{};
    action.sa_handler = request_stop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void complain(const std::string& text)
{
    std::fprintf(stderr, "modemsim: %s\n", text.c_str());
}

int make_sample(const sim::SimOptions& options)
{
    std::string text = options.action == sim::SimAction::MakeImage
                           ? sim::make_image_text(options.image)
                           : sim::make_loader_text(options.modem.loader_version.value_or(sim::DEFAULT_LOADER_VERSION));
    std::string error;
    if (!sim::write_whole_file(options.output_file, text.data(), text.size(), error)) {
        complain(error);
        return 2;
    }
    return 0;
}

// Replaces an old symlink at `link`, never a file.
bool make_link(const std::string& link, const std::string& target)
{
    struct stat info{};
    if (lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            complain(link + " exists and is not a symlink");
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        complain("cannot make the symlink " + link);
        return false;
    }
    return true;
}

// What a finished job leaves: the flash as a file, and its comparison with
// the expected image.
class JobResults {
public:
    explicit JobResults(const sim::SimOptions& options) : options_(options) {}

    bool load_expected()
    {
        std::string error;
        if (options_.expect.empty() || sim::load_hex_image(options_.expect, expected_, error))
            return true;
        complain(error);
        return false;
    }

    void record(const sim::Modem& modem)
    {
        evaluated_ = true;
        std::string error;
        if (!options_.flash_out.empty() && !modem.flash().write_binary(options_.flash_out, error))
            complain(error);
        if (!options_.expect.empty()) {
            std::string message;
            matched_ = sim::flash_matches_image(modem.flash(), expected_, message);
            complain(options_.expect + ": " + message);
        }
    }

    bool evaluated() const { return evaluated_; }
    int exit_status() const { return options_.expect.empty() || matched_ ? 0 : 1; }

private:
    const sim::SimOptions& options_;
    sim::HexImage expected_;
    bool evaluated_ = false;
    bool matched_ = false;
};

}  // namespace

int main(int argc, char** argv)
{
    sim::SimOptions options;
    std::string error;
    if (!sim::parse_options(argc, argv, options, error)) {
        complain(error);
        std::fputs("try modemsim --help\n", stderr);
        return 2;
    }
    if (options.action == sim::SimAction::Help) {
        std::fputs(sim::usage_text(), stdout);
        return 0;
    }
    if (options.action != sim::SimAction::Serve)
        return make_sample(options);
    install_signal_handlers();

    JobResults results(options);
    if (!results.load_expected())
        return 2;

    sim::LineServer server;
    std::string path = options.device;
    bool opened = options.device.empty() ? server.open_pty(path, error) : server.open_device(options.device, error);
    if (!opened) {
        complain(error);
        return 2;
    }
    if (!options.link.empty() && !make_link(options.link, path))
        return 2;
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    sim::Modem modem(options.modem);
    sim::ServeSettings settings{options.paced, options.exit_after_job, options.verbose};
    server.serve(
        modem, settings, stop_requested, [&] { results.record(modem); },
        [](const std::string& line) { complain(line); });
    server.close();

    // A job cut off by a signal or a vanished line is judged as it stands.
    if (!results.evaluated() || modem.job_in_progress())
        results.record(modem);
    if (!options.link.empty())
        unlink(options.link.c_str());
    return results.exit_status();
}
