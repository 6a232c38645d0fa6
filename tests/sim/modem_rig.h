// Drives a Modem in-process with a hand-moved clock.
#pragma once

#include "sim/modem.h"
#include "sim/sample_files.h"

#include <string>
#include <string_view>

struct ModemRig {
    explicit ModemRig(const sim::ModemConfig& config = {}) : modem(config) {}

    // Sends text now and returns what the modem says by now + window_ms.
    std::string say(std::string_view text, uint32_t window_ms = 0)
    {
        modem.receive(text, now);
        return wait(window_ms);
    }

    // What the modem says within the next ms milliseconds.
    std::string wait(uint32_t ms)
    {
        now += ms;
        return modem.take_output(now);
    }

    // Each line of a HEX text with its carriage return, answers collected;
    // the loader's erase is waited out first.
    std::string stream_image(const std::string& text)
    {
        std::string answers = wait(modem_erase_ms);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            answers += say(text.substr(start, end - start) + "\r");
            start = end == std::string::npos ? text.size() : end + 1;
        }
        return answers;
    }

    sim::Modem modem;
    uint64_t now = 5000;
    uint32_t modem_erase_ms = 200;
};

inline sim::ModemConfig resident_modem(bool in_rrfl = false)
{
    sim::ModemConfig config;
    config.resident = {true, 0x40, 0x1A2B};
    config.start_in_rrfl = in_rrfl;
    return config;
}

inline size_t count_of(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}
