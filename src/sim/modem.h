// The simulated modem as the flasher sees it, driven by the characters it
// receives and by the time. Command mode answers the AT dialogue and takes a
// loader download; a running flash loader erases the flash and programs image
// records. No I/O here: the line server feeds characters in and takes the
// output when it falls due.
#pragma once

#include "sim/faults.h"
#include "sim/flash_memory.h"
#include "sim/intel_hex.h"
#include "sim/modem_config.h"
#include "sim/output_queue.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class ModemMode {
    Command,  // the AT command interpreter (of the firmware, or of the RRFL)
    Loader,   // a flash loader runs: erasing, then programming image records
    Dead,     // no firmware and no resident loader: silent
};

// Characters per second of a 115200-baud line (ten bits per character).
constexpr uint32_t LINE_CHARS_PER_SECOND = 11520;

class Modem {
public:
    explicit Modem(const ModemConfig& config);

    // Characters from the flasher, arriving at now_ms.
    void receive(std::string_view chars, uint64_t now_ms);
    // The characters due by now_ms, in order.
    std::string take_output(uint64_t now_ms);
    // When output next falls due; NEVER when nothing is pending.
    uint64_t next_output_ms() const;
    // The flasher closed the line: pending output is lost. When it had sent
    // anything since the last job end this ends the job, and the result is true.
    bool line_closed();

    ModemMode mode() const { return mode_; }
    bool in_rrfl() const { return in_rrfl_; }
    char type_letter() const { return type_letter_; }
    const ResidentLoad& resident() const { return resident_; }
    const FlashMemory& flash() const { return flash_; }
    uint32_t jobs_ended() const { return jobs_ended_; }
    // The flasher has sent something since the last job end.
    bool job_in_progress() const { return talked_; }
    bool vanished() const { return vanished_; }
    // Notable events since the last call, for the log.
    std::vector<std::string> take_notes();

private:
    // Line assembly and the end of a job (modem.cpp).
    void command_char(char c, uint64_t now);
    void loader_char(char c, uint64_t now);
    std::string take_line();
    void finish_event(const std::string& echo, std::string answer, const FaultEffects& faults, uint64_t now,
                      uint64_t answer_due);
    void damage_received(std::string& line, const FaultEffects& faults);
    void start_stream(uint64_t now);
    void end_job();
    void note(std::string text);

    // Command mode (modem_commands.cpp).
    void on_command_line(const std::string& raw, bool overflow, uint64_t now);
    std::string command_answer(const std::string& line, uint64_t now);
    std::string type_line() const;
    std::string loader_record(std::string_view text, uint64_t now);
    std::string downloaded_loader_version() const;

    // The running flash loader (modem_loader.cpp).
    void start_loader(const std::string& version, bool downloaded, uint64_t now);
    void begin_erase(uint64_t now);
    void on_image_line(const std::string& raw, bool overflow, uint64_t now);
    std::string program_line(const std::string& line);
    std::string program_data(const HexRecord& record);
    void loader_command(char c, uint64_t now);
    void restart_after_loader();
    void install_firmware();

    ModemConfig config_;
    FaultPlan faults_;
    FlashMemory flash_;
    OutputQueue output_;

    ModemMode mode_ = ModemMode::Command;
    bool in_rrfl_ = false;
    char type_letter_;
    ResidentLoad resident_;

    std::string line_;
    bool line_overflow_ = false;
    bool talked_ = false;  // characters received since the last job end
    uint32_t commands_ = 0;
    uint32_t image_lines_ = 0;
    uint32_t jobs_ended_ = 0;
    bool vanished_ = false;
    bool streaming_ = false;
    uint64_t stream_since_ = 0;
    uint64_t stream_sent_ = 0;
    std::vector<std::string> notes_;

    // Loader download in command mode.
    std::string download_data_;
    bool download_damaged_ = false;

    // The running loader.
    std::string running_version_;
    uint64_t erase_done_ = 0;
    HexAddressing addressing_;
    bool programming_failed_ = false;
    bool first_record_seen_ = false;
    std::optional<std::array<uint8_t, 4>> image_header_;  // data bytes 28-31 of the first record
};

}  // namespace sim
