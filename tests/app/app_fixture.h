// Shared set-up for the job tests: the platform doubles, a scratch directory
// that is the current directory while a test runs (the loader file is read
// from there), image files, and a scripted modem that answers the probe, the
// loader lines and the image lines.
#pragma once

#include "app/flash_job.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace apptest {

// One Intel HEX record with its checksum, without a line end.
std::string hex_record(uint16_t address, uint8_t type, const std::vector<uint8_t>& data);

// The first record of an image: 32 data bytes whose bytes 28-31 carry the
// RRFL checksum (low, high), the modem type letter and the sector size.
std::string header_record(char type_letter = 'I', uint8_t sector = 0x40, uint16_t checksum = 0x1A2B);

// A small image: the header record, `data_records` 32-byte data records and
// the end record, each line ended by a line feed.
std::string sample_image(char type_letter = 'I', int data_records = 2);

// How the scripted modem answers. An empty reply text means silence.
struct ModemScript {
    char type_letter = 'I';           // the answer to "ATI5\r"
    std::string ati5_extra;           // appended to that answer's line, e.g. "RRFL,40,1A2B"
    std::string ffl_reply;            // answer to "AT&&FFL\r"; silent: no resident loader
    std::string fgo_reply = "Ver:4.4\r\nOK\r\n";
    std::string loader_version = "Ver:4.4";  // in the answer to the last loader record
    std::string z_reply = "Ver:4.4\r\nOK\r\n";
    uint32_t erase_ms = 0;            // before the first image answer after an erase
    // Answers to successive image records; once used up, every record gets
    // "OK\r\n".
    std::deque<std::string> image_answers;
    // How late each of those answers comes after its record, in turn; once
    // used up, answers come at once.
    std::deque<uint32_t> image_answer_delays;
};

class AppTest : public ::testing::Test {
protected:
    AppTest();
    ~AppTest() override;

    // New doubles, a reset job record and a default script, for the next
    // case of a table; a file left open is closed first.
    void fresh();
    // Writes a file into the scratch directory; returns its full path.
    std::string write_file(const std::string& name, const std::string& content);
    // The file dialog will choose this file.
    void choose(const std::string& path);
    // The modem answers on every port as the script says.
    void serve(const ModemScript& script);
    // Lets the main loop's idle waits wake at the modem's replies.
    void watch_modem() { d.modem.fake_poll_fd = 3; }
    // Image lines written (those that begin with a colon or are a lone CR).
    std::vector<std::string> image_writes() const;
    // Runs job steps until job_state is `state`, at most max_steps; true when reached.
    bool step_until(int state, int max_steps = 100000);

private:
    std::optional<fakes::Doubles> doubles_{std::in_place};

protected:
    fakes::Doubles& d = *doubles_;  // stays valid across fresh()
    std::string dir;
    ModemScript script;

private:
    std::string old_cwd_;
    bool erase_pending_ = true;
};

}  // namespace apptest
