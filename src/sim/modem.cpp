#include "sim/modem.h"

#include <algorithm>

namespace sim {

namespace {

// Longest line the modem keeps; the rest of a longer line is dropped and the
// line is refused when it ends.
constexpr size_t MAX_LINE = 1024;
// Most noise characters produced by one take_output call of an endless stream.
constexpr uint64_t MAX_STREAM_CHUNK = 65536;

}  // namespace

Modem::Modem(const ModemConfig& config)
    : config_(config),
      faults_(config.faults, config.seed),
      in_rrfl_(config.start_in_rrfl && config.resident.present),
      type_letter_(config.type_letter),
      resident_(config.resident)
{
}

void Modem::receive(std::string_view chars, uint64_t now_ms)
{
    for (char c : chars) {
        talked_ = true;
        if (vanished_ || streaming_ || mode_ == ModemMode::Dead)
            continue;
        if (mode_ == ModemMode::Loader)
            loader_char(c, now_ms);
        else
            command_char(c, now_ms);
    }
}

std::string Modem::take_output(uint64_t now_ms)
{
    std::string out = output_.take(now_ms);
    if (streaming_ && now_ms > stream_since_) {
        // The stream runs at line speed; what a slow caller missed is skipped.
        uint64_t due = (now_ms - stream_since_) * LINE_CHARS_PER_SECOND / 1000;
        if (due > stream_sent_) {
            out += faults_.noise(std::min(due - stream_sent_, MAX_STREAM_CHUNK));
            stream_sent_ = due;
        }
    }
    return out;
}

uint64_t Modem::next_output_ms() const
{
    uint64_t next = output_.next_due();
    if (streaming_)
        next = std::min(next, stream_since_ + (stream_sent_ + 1) * 1000 / LINE_CHARS_PER_SECOND);
    return next;
}

bool Modem::line_closed()
{
    output_.clear();
    streaming_ = false;
    take_line();
    if (!talked_)
        return false;
    end_job();
    return true;
}

std::vector<std::string> Modem::take_notes()
{
    std::vector<std::string> notes;
    notes.swap(notes_);
    return notes;
}

void Modem::command_char(char c, uint64_t now)
{
    if (c == '\r') {
        bool overflow = line_overflow_;
        on_command_line(take_line(), overflow, now);
        return;
    }
    if (c == '\n' && line_.empty())
        return;  // the LF of a terminal's CR LF
    if (line_.size() < MAX_LINE)
        line_ += c;
    else
        line_overflow_ = true;
}

void Modem::loader_char(char c, uint64_t now)
{
    if (line_.empty() && !line_overflow_ && (c == 'Z' || c == 'Y')) {
        loader_command(c, now);
        return;
    }
    if (c == '\r' || c == '\n') {
        bool overflow = line_overflow_;
        on_image_line(take_line(), overflow, now);
        return;
    }
    if (line_.size() < MAX_LINE)
        line_ += c;
    else
        line_overflow_ = true;
}

std::string Modem::take_line()
{
    std::string line;
    line.swap(line_);
    line_overflow_ = false;
    return line;
}

void Modem::damage_received(std::string& line, const FaultEffects& faults)
{
    faults_.corrupt(line, faults.rx_corrupt);
    faults_.drop(line, faults.rx_drop);
}

void Modem::finish_event(const std::string& echo, std::string answer, const FaultEffects& faults, uint64_t now,
                         uint64_t answer_due)
{
    output_.push(now, echo);
    if (faults.stream) {
        start_stream(answer_due);
        return;
    }
    faults_.corrupt(answer, faults.tx_corrupt);
    faults_.drop(answer, faults.tx_drop);
    output_.push(answer_due + faults.late_ms, faults_.noise(faults.garbage) + answer);
}

void Modem::start_stream(uint64_t now)
{
    note("endless stream of characters begins");
    streaming_ = true;
    stream_since_ = now;
    stream_sent_ = 0;
}

void Modem::end_job()
{
    ++jobs_ended_;
    talked_ = false;
    streaming_ = false;
    take_line();
    if (mode_ == ModemMode::Loader)
        restart_after_loader();
    note("job ended");
}

void Modem::note(std::string text)
{
    notes_.push_back(std::move(text));
}

}  // namespace sim
