// The running flash loader: erase, image records, restart ("Z") and end ("Y").
#include "sim/modem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace sim {

namespace {

std::string loader_answer(const char* code)
{
    return std::string(code) + "\r\n";
}

std::string nok(int code)
{
    return "NOK" + std::to_string(code) + "\r\n";
}

std::string hex_address(uint32_t address)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%05X", address);
    return text;
}

// Data bytes 28-31 of the image's first record describe its resident loader.
constexpr size_t HEADER_OFFSET = 28;
// A type byte from 0xF0 on marks an image that carries no resident loader.
constexpr uint8_t NO_RESIDENT_LOADER = 0xF0;

}  // namespace

void Modem::start_loader(const std::string& version, bool downloaded, uint64_t now)
{
    mode_ = ModemMode::Loader;
    running_version_ = version;
    if (downloaded) {
        // A downloaded loader erases the whole chip, resident loader included.
        resident_.present = false;
        in_rrfl_ = false;
    }
    note(std::string(downloaded ? "downloaded" : "resident") + " loader " + version + " starts");
    begin_erase(now);
}

void Modem::begin_erase(uint64_t now)
{
    flash_.erase();
    erase_done_ = now + config_.erase_ms;
    addressing_.reset();
    programming_failed_ = false;
    first_record_seen_ = false;
    image_header_.reset();
}

void Modem::on_image_line(const std::string& raw, bool overflow, uint64_t now)
{
    if (raw.empty() && !overflow)
        return;  // the lone carriage return of an empty line
    FaultEffects faults = faults_.draw(FaultScope::ImageLine, ++image_lines_, raw);
    if (faults.vanish) {
        note("line vanishes at image line " + std::to_string(image_lines_));
        vanished_ = true;
        return;
    }
    if (faults.silent) {
        note("silent at image line " + std::to_string(image_lines_));
        return;
    }
    std::string line = raw;
    damage_received(line, faults);
    std::string answer;
    if (faults.nok) {
        answer = nok(faults.nok);
        if (faults.nok == 1 || faults.nok == 4)
            programming_failed_ = true;
    } else {
        answer = overflow ? nok(3) : program_line(line);
    }
    finish_event("", answer, faults, now, std::max(now + config_.record_ms, erase_done_));
}

// The answer to one image line: OK, a NOK code, or nothing for a line that
// is no record at all.
std::string Modem::program_line(const std::string& line)
{
    if (line[0] != ':')
        return is_hex_digits(line) ? nok(2) : "";
    HexRecord record;
    if (parse_hex_record(line, record) != HexError::None)
        return nok(3);
    switch (record.type) {
    case HEX_DATA:
        return program_data(record);
    case HEX_END_OF_FILE:
        if (!programming_failed_)
            flash_.mark_complete();
        return loader_answer("OK");
    default:
        addressing_.apply(record);
        return loader_answer("OK");
    }
}

std::string Modem::program_data(const HexRecord& record)
{
    uint32_t address = addressing_.address_of(record);
    if (address + record.data.size() > FLASH_SIZE) {
        note("record beyond the flash at " + hex_address(address));
        programming_failed_ = true;
        return nok(4);
    }
    if (!first_record_seen_) {
        first_record_seen_ = true;
        if (record.data.size() >= HEADER_OFFSET + 4) {
            image_header_.emplace();
            std::copy_n(record.data.begin() + HEADER_OFFSET, 4, image_header_->begin());
        }
    }
    uint32_t bad = flash_.program(address, record.data.data(), record.data.size());
    if (bad == 0)
        return loader_answer("OK");
    note(std::to_string(bad) + " bytes read back wrong in the record at " + hex_address(address));
    programming_failed_ = true;
    return nok(4);
}

void Modem::loader_command(char c, uint64_t now)
{
    if (c == 'Z') {
        note("restart: erasing again");
        begin_erase(now);
        output_.push(now, running_version_ + "\r\n" + loader_answer("OK"));
        return;
    }
    end_job();  // "Y": the loader ends and the modem restarts
}

// The modem starts again after its loader ended: with the new firmware when
// the image was programmed completely, else in its resident loader, else not
// at all.
void Modem::restart_after_loader()
{
    if (flash_.complete() && !programming_failed_) {
        install_firmware();
        mode_ = ModemMode::Command;
        in_rrfl_ = false;
    } else if (resident_.present) {
        note("programming incomplete: the modem comes back in its resident loader");
        mode_ = ModemMode::Command;
        in_rrfl_ = true;
    } else {
        note("programming incomplete and no resident loader: the modem is dead");
        mode_ = ModemMode::Dead;
    }
}

void Modem::install_firmware()
{
    if (!image_header_ || (*image_header_)[2] >= NO_RESIDENT_LOADER) {
        resident_.present = false;
        note("new firmware runs, without a resident loader");
        return;
    }
    const std::array<uint8_t, 4>& header = *image_header_;
    resident_.present = true;
    resident_.checksum = static_cast<uint16_t>(header[1] << 8 | header[0]);
    resident_.sector = header[3];
    if (std::isalpha(header[2]))
        type_letter_ = static_cast<char>(header[2]);
    char text[80];
    std::snprintf(text, sizeof text, "new firmware runs: type %c, sector 0x%02X, resident loader checksum %04X",
                  type_letter_, resident_.sector, resident_.checksum);
    note(text);
}

}  // namespace sim
