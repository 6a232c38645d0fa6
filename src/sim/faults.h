// Faults on demand: what the modem does wrong, and at which command or image
// line, chosen by number, range, command text or probability.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class FaultKind {
    Silent,     // no echo, no answer: the line is lost
    Late,       // the answer comes arg milliseconds late
    Nok,        // the answer is NOK<arg>; the record is not programmed
    RxCorrupt,  // arg characters of the received line are altered
    RxDrop,     // arg characters of the received line are lost
    TxCorrupt,  // arg characters of the answer are altered
    TxDrop,     // arg characters of the answer are lost
    Garbage,    // a burst of arg random characters before the answer
    Stream,     // an endless stream of characters in place of the answer
    Vanish,     // the line closes for good
};

enum class FaultScope {
    Command,    // command lines, loader records included
    ImageLine,  // non-empty lines received by a running flash loader
};

struct FaultSpec {
    FaultKind kind = FaultKind::Silent;
    uint32_t arg = 0;
    FaultScope scope = FaultScope::Command;
    // Selection: a command text, else a probability (>= 0), else a range of
    // event numbers counted from 1 (last = UINT32_MAX: open-ended).
    std::string command;
    double probability = -1;
    uint32_t first = 0;
    uint32_t last = 0;
};

// "KIND[:ARG]@WHERE"; the syntax is documented in modemsim --help.
bool parse_fault(std::string_view text, FaultSpec& spec, std::string& error);

// Everything that hits one event, summed over the matching specs.
struct FaultEffects {
    bool silent = false;
    bool stream = false;
    bool vanish = false;
    uint32_t late_ms = 0;
    int nok = 0;
    uint32_t rx_corrupt = 0;
    uint32_t rx_drop = 0;
    uint32_t tx_corrupt = 0;
    uint32_t tx_drop = 0;
    uint32_t garbage = 0;
};

class FaultPlan {
public:
    FaultPlan(std::vector<FaultSpec> specs, uint32_t seed);

    // The faults for event `number` (from 1) of its scope; `text` is the line
    // as received, without its carriage return.
    FaultEffects draw(FaultScope scope, uint32_t number, std::string_view text);

    // Alter or remove `count` characters that are not line ends.
    void corrupt(std::string& text, uint32_t count);
    void drop(std::string& text, uint32_t count);
    // Random characters without NUL, 'O' or 'K': noise never forms an "OK".
    std::string noise(size_t count);

private:
    bool chance(double probability);
    char noise_char();
    std::vector<size_t> damageable_positions(const std::string& text) const;

    std::vector<FaultSpec> specs_;
    std::mt19937 rng_;
};

}  // namespace sim
