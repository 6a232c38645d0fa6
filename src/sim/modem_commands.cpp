// Command mode: the AT dialogue of the probe and the loader download.
#include "sim/modem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace sim {

namespace {

// Answers in the verbose style: every line framed by CR LF.
std::string result(const char* code)
{
    return std::string("\r\n") + code + "\r\n";
}

std::string info_then_ok(const std::string& text)
{
    return "\r\n" + text + "\r\n" + result("OK");
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A version text inside loader data: "Ver:" and the printable characters
// behind it.
constexpr size_t MAX_VERSION = 32;
// Loader code is kept up to this size; a loader is small.
constexpr size_t MAX_LOADER_SIZE = 65536;

}  // namespace

void Modem::on_command_line(const std::string& raw, bool overflow, uint64_t now)
{
    if (raw.empty() && !overflow) {
        output_.push(now, config_.echo ? "\r" : "");
        return;
    }
    FaultEffects faults = faults_.draw(FaultScope::Command, ++commands_, raw);
    if (faults.vanish) {
        note("line vanishes at command " + std::to_string(commands_));
        vanished_ = true;
        return;
    }
    if (faults.silent) {
        note("silent at command " + std::to_string(commands_) + ": " + raw);
        return;
    }
    std::string line = raw;
    damage_received(line, faults);
    std::string echo = config_.echo ? line + "\r" : "";
    std::string answer;
    if (faults.nok)
        answer = result(("NOK" + std::to_string(faults.nok)).c_str());
    else
        answer = overflow ? result("ERROR") : command_answer(line, now);
    finish_event(echo, answer, faults, now, now);
}

std::string Modem::command_answer(const std::string& line, uint64_t now)
{
    // Whatever comes before "AT" is ignored, so "AAAAT" is "AT".
    std::string command = upper(line);
    size_t at = command.find("AT");
    if (at == std::string::npos)
        return "";
    std::string body = command.substr(at + 2);

    if (body.empty())
        return result("OK");
    if (body == "I5")
        return info_then_ok(type_line());
    if (!body.starts_with("&&F") || !config_.flashable)
        return result("ERROR");

    std::string flash_command = body.substr(3);
    if (flash_command.empty())
        return result("OK");
    if (flash_command[0] == ':')
        return loader_record(std::string_view(line).substr(at + 5), now);
    if (flash_command == "FL") {
        if (!resident_.present)
            return "";  // a modem without a resident loader does not answer
        char text[16];
        std::snprintf(text, sizeof text, "%04X,%02X,", resident_.checksum, resident_.sector);
        return info_then_ok(text);
    }
    if (flash_command == "GO") {
        if (!resident_.present)
            return result("ERROR");
        start_loader(config_.rrfl_version, false, now);
        return info_then_ok(config_.rrfl_version);
    }
    return result("ERROR");
}

std::string Modem::type_line() const
{
    char text[48];
    if (in_rrfl_)
        std::snprintf(text, sizeof text, "%c RRFL,%02X,%04X", type_letter_, resident_.sector, resident_.checksum);
    else
        std::snprintf(text, sizeof text, "%c SIMULATED MODEM", type_letter_);
    return text;
}

// One record of a loader download. A damaged record is refused, and a loader
// with a refused record never starts.
std::string Modem::loader_record(std::string_view text, uint64_t now)
{
    HexRecord record;
    if (parse_hex_record(text, record) != HexError::None) {
        note("bad loader record: " + std::string(text));
        download_damaged_ = true;
        return result("ERROR");
    }
    if (record.type == HEX_DATA && download_data_.size() < MAX_LOADER_SIZE)
        download_data_.append(record.data.begin(), record.data.end());
    if (record.type != HEX_END_OF_FILE)
        return result("OK");

    bool damaged = download_damaged_;
    std::string version = config_.loader_version.value_or(downloaded_loader_version());
    download_data_.clear();
    download_damaged_ = false;
    if (damaged)
        return result("ERROR");
    start_loader(version, true, now);
    return info_then_ok(version);
}

std::string Modem::downloaded_loader_version() const
{
    size_t at = download_data_.find("Ver:");
    if (at == std::string::npos)
        return DEFAULT_LOADER_VERSION;
    size_t end = at;
    while (end < download_data_.size() && end - at < MAX_VERSION &&
           std::isprint(static_cast<unsigned char>(download_data_[end])))
        ++end;
    return download_data_.substr(at, end - at);
}

}  // namespace sim
