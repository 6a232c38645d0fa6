// The modem's end of a serial line: the master of a pseudo-terminal pair or a
// real serial device, both raw at 115200 baud. Serving moves characters
// between the line and the modem model, with the model's timing and optional
// pacing at line speed.
#pragma once

#include "sim/modem.h"

#include <atomic>
#include <functional>
#include <string>

namespace sim {

struct ServeSettings {
    bool paced = false;
    bool exit_after_job = false;
    bool verbose = false;  // traffic on standard error
};

class LineServer {
public:
    LineServer() = default;
    LineServer(const LineServer&) = delete;
    LineServer& operator=(const LineServer&) = delete;
    ~LineServer() { close(); }

    // A new pseudo-terminal pair whose far end is raw from the start (no echo,
    // no flow control, no CR/LF translation). `path` names that far end.
    bool open_pty(std::string& path, std::string& error);
    bool open_device(const std::string& path, std::string& error);

    // Serves until `stop` is set, the modem vanishes (the line is then
    // closed), or with exit_after_job a job ends. `on_job_end` runs after every
    // job end; `log` receives the model's notes and, when verbose, the traffic.
    void serve(Modem& modem, const ServeSettings& settings, const std::atomic<bool>& stop,
               const std::function<void()>& on_job_end, const std::function<void(const std::string&)>& log);

    void close();

private:
    bool hung_up() const;
    void read_available(std::string& inbound);
    // Writes at most limit characters from the front; returns how many went.
    size_t write_some(const std::string& outbound, size_t limit);
    void flush_stale_input() const;

    int fd_ = -1;
    bool is_pty_ = false;
    std::string far_path_;
};

}  // namespace sim
