#include "app_fixture.h"

#include "app/job_step.h"
#include "platform/text_file.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace apptest {

std::string hex_record(uint16_t address, uint8_t type, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                               static_cast<uint8_t>(address & 0xFF), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    uint8_t sum = 0;
    std::string text = ":";
    char hex[3];
    for (uint8_t b : bytes) {
        sum = static_cast<uint8_t>(sum + b);
        std::snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    std::snprintf(hex, sizeof hex, "%02X", static_cast<uint8_t>(-sum));
    return text + hex;
}

std::string header_record(char type_letter, uint8_t sector, uint16_t checksum)
{
    std::vector<uint8_t> data(28, 0x11);
    data.push_back(static_cast<uint8_t>(checksum & 0xFF));
    data.push_back(static_cast<uint8_t>(checksum >> 8));
    data.push_back(static_cast<uint8_t>(type_letter));
    data.push_back(sector);
    return hex_record(0x0000, 0x00, data);
}

std::string sample_image(char type_letter, int data_records)
{
    std::string image = header_record(type_letter) + "\n";
    for (int i = 0; i < data_records; ++i)
        image += hex_record(static_cast<uint16_t>(0x20 * (i + 1)), 0x00, std::vector<uint8_t>(32, 0x5A)) + "\n";
    return image + hex_record(0, 0x01, {}) + "\n";
}

AppTest::AppTest()
{
    char path[] = "/tmp/flashloader-app-XXXXXX";
    dir = mkdtemp(path);
    old_cwd_ = std::filesystem::current_path().string();
    std::filesystem::current_path(dir);
}

AppTest::~AppTest()
{
    text_close(job.cur_file);
    job.cur_file = nullptr;
    std::filesystem::current_path(old_cwd_);
    std::filesystem::remove_all(dir);
}

void AppTest::fresh()
{
    text_close(job.cur_file);
    job.cur_file = nullptr;
    doubles_.reset();
    doubles_.emplace();
    script = ModemScript{};
    erase_pending_ = true;
}

std::string AppTest::write_file(const std::string& name, const std::string& content)
{
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

void AppTest::choose(const std::string& path)
{
    d.window.dialog_result = true;
    d.window.dialog_path = path;
    d.window.dialog_file_title = std::filesystem::path(path).filename().string();
}

void AppTest::serve(const ModemScript& s)
{
    script = s;
    auto& modem = d.modem;
    modem.on("AAAAT\r", "AAAAT\r\r\nOK\r\n");
    modem.on("AT\r", "AT\r\r\nOK\r\n");
    modem.on("AT&&F\r", "AT&&F\r\r\nOK\r\n");
    modem.on("ATI5\r", std::string("ATI5\r\r\n") + script.type_letter + script.ati5_extra + "\r\nOK\r\n");
    if (!script.ffl_reply.empty())
        modem.on("AT&&FFL\r", script.ffl_reply);
    if (!script.fgo_reply.empty())
        modem.on("AT&&FGO\r", script.fgo_reply);
    modem.on_transmit_char = [this](char ch) {
        if (ch != 'Z')
            return;
        erase_pending_ = true;
        if (!script.z_reply.empty())
            d.modem.feed(script.z_reply);
    };
    modem.on_write = [this](const std::string& line) {
        if (line.rfind("at&&f:", 0) == 0) {
            bool last = line.rfind("at&&f:00000001FF", 0) == 0;
            d.modem.feed(last ? script.loader_version + "\r\nOK\r\n" : "OK\r\n");
            return;
        }
        if (line.empty() || line[0] != ':')
            return;  // a line without a colon gets no answer
        std::string answer = "OK\r\n";
        if (!script.image_answers.empty()) {
            answer = script.image_answers.front();
            script.image_answers.pop_front();
        }
        uint32_t delay = erase_pending_ ? script.erase_ms : 0;
        erase_pending_ = false;
        if (!script.image_answer_delays.empty()) {
            delay += script.image_answer_delays.front();
            script.image_answer_delays.pop_front();
        }
        if (!answer.empty())
            d.modem.feed(answer, delay);
    };
}

std::vector<std::string> AppTest::image_writes() const
{
    std::vector<std::string> lines;
    for (const auto& w : d.modem.writes)
        if (w == "\r" || (!w.empty() && w[0] == ':'))
            lines.push_back(w);
    return lines;
}

bool AppTest::step_until(int state, int max_steps)
{
    for (int i = 0; i < max_steps; ++i) {
        if (job.job_state == state)
            return true;
        job_step();
    }
    return job.job_state == state;
}

}  // namespace apptest
