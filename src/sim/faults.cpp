#include "sim/faults.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <limits>

namespace sim {

namespace {

struct KindName {
    const char* name;
    FaultKind kind;
    uint32_t default_arg;
};

constexpr KindName KINDS[] = {
    {"silent", FaultKind::Silent, 0},        {"late", FaultKind::Late, 1500},
    {"nok1", FaultKind::Nok, 1},             {"nok2", FaultKind::Nok, 2},
    {"nok3", FaultKind::Nok, 3},             {"nok4", FaultKind::Nok, 4},
    {"rx-corrupt", FaultKind::RxCorrupt, 1}, {"rx-drop", FaultKind::RxDrop, 1},
    {"tx-corrupt", FaultKind::TxCorrupt, 1}, {"tx-drop", FaultKind::TxDrop, 1},
    {"garbage", FaultKind::Garbage, 64},     {"stream", FaultKind::Stream, 0},
    {"vanish", FaultKind::Vanish, 0},
};

bool takes_count(FaultKind kind)
{
    return kind == FaultKind::Late || kind == FaultKind::RxCorrupt || kind == FaultKind::RxDrop ||
           kind == FaultKind::TxCorrupt || kind == FaultKind::TxDrop || kind == FaultKind::Garbage;
}

bool parse_number(std::string_view text, uint32_t& value)
{
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parse_probability(std::string_view text, double& value)
{
    std::string copy(text);
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size() && value >= 0 && value <= 1;
}

// "N", "N-M" or "N-", counted from 1.
bool parse_range(std::string_view text, uint32_t& first, uint32_t& last)
{
    size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
        if (!parse_number(text, first))
            return false;
        last = first;
    } else {
        std::string_view upper = text.substr(dash + 1);
        if (!parse_number(text.substr(0, dash), first))
            return false;
        if (upper.empty())
            last = std::numeric_limits<uint32_t>::max();
        else if (!parse_number(upper, last))
            return false;
    }
    return first >= 1 && last >= first;
}

bool same_text(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

bool selects(const FaultSpec& spec, uint32_t number, std::string_view text)
{
    if (!spec.command.empty())
        return same_text(spec.command, text);
    return number >= spec.first && number <= spec.last;
}

}  // namespace

bool parse_fault(std::string_view text, FaultSpec& spec, std::string& error)
{
    error.clear();
    size_t at = text.find('@');
    if (at == std::string_view::npos) {
        error = "a fault needs @WHERE: " + std::string(text);
        return false;
    }
    std::string_view what = text.substr(0, at);
    std::string_view where = text.substr(at + 1);

    size_t colon = what.find(':');
    std::string_view name = what.substr(0, colon);
    const KindName* kind = nullptr;
    for (const KindName& k : KINDS) {
        if (name == k.name)
            kind = &k;
    }
    if (!kind) {
        error = "unknown fault kind: " + std::string(name);
        return false;
    }
    spec = FaultSpec{};
    spec.kind = kind->kind;
    spec.arg = kind->default_arg;
    if (colon != std::string_view::npos) {
        if (!takes_count(kind->kind) || !parse_number(what.substr(colon + 1), spec.arg) || spec.arg == 0) {
            error = "bad argument for " + std::string(name) + ": " + std::string(what.substr(colon + 1));
            return false;
        }
    }

    size_t equals = where.find('=');
    std::string_view scope = where.substr(0, equals);
    std::string_view selector = equals == std::string_view::npos ? std::string_view{} : where.substr(equals + 1);
    if (scope == "cmd")
        spec.scope = FaultScope::Command;
    else if (scope == "line")
        spec.scope = FaultScope::ImageLine;
    else {
        error = "WHERE must be cmd=... or line=...: " + std::string(where);
        return false;
    }
    if (selector.empty()) {
        error = "missing selector after " + std::string(scope) + "=";
        return false;
    }
    bool ok;
    if (selector[0] == 'p')
        ok = parse_probability(selector.substr(1), spec.probability);
    else if (std::isdigit(static_cast<unsigned char>(selector[0])))
        ok = parse_range(selector, spec.first, spec.last);
    else {
        spec.command = std::string(selector);
        ok = spec.scope == FaultScope::Command;
    }
    if (!ok)
        error = "bad selector: " + std::string(where);
    return ok;
}

FaultPlan::FaultPlan(std::vector<FaultSpec> specs, uint32_t seed) : specs_(std::move(specs)), rng_(seed) {}

bool FaultPlan::chance(double probability)
{
    return static_cast<double>(rng_()) / 4294967296.0 < probability;
}

FaultEffects FaultPlan::draw(FaultScope scope, uint32_t number, std::string_view text)
{
    FaultEffects effects;
    for (const FaultSpec& spec : specs_) {
        if (spec.scope != scope)
            continue;
        bool hit = spec.probability >= 0 ? chance(spec.probability) : selects(spec, number, text);
        if (!hit)
            continue;
        switch (spec.kind) {
        case FaultKind::Silent:
            effects.silent = true;
            break;
        case FaultKind::Late:
            effects.late_ms += spec.arg;
            break;
        case FaultKind::Nok:
            effects.nok = static_cast<int>(spec.arg);
            break;
        case FaultKind::RxCorrupt:
            effects.rx_corrupt += spec.arg;
            break;
        case FaultKind::RxDrop:
            effects.rx_drop += spec.arg;
            break;
        case FaultKind::TxCorrupt:
            effects.tx_corrupt += spec.arg;
            break;
        case FaultKind::TxDrop:
            effects.tx_drop += spec.arg;
            break;
        case FaultKind::Garbage:
            effects.garbage += spec.arg;
            break;
        case FaultKind::Stream:
            effects.stream = true;
            break;
        case FaultKind::Vanish:
            effects.vanish = true;
            break;
        }
    }
    return effects;
}

char FaultPlan::noise_char()
{
    for (;;) {
        char c = static_cast<char>(1 + rng_() % 255);
        if (c != 'O' && c != 'K')
            return c;
    }
}

std::string FaultPlan::noise(size_t count)
{
    std::string text(count, '\0');
    for (char& c : text)
        c = noise_char();
    return text;
}

std::vector<size_t> FaultPlan::damageable_positions(const std::string& text) const
{
    std::vector<size_t> positions;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            positions.push_back(i);
    }
    return positions;
}

void FaultPlan::corrupt(std::string& text, uint32_t count)
{
    std::vector<size_t> positions = damageable_positions(text);
    for (uint32_t n = 0; n < count && !positions.empty(); ++n) {
        size_t pick = rng_() % positions.size();
        char& c = text[positions[pick]];
        char replacement;
        do
            replacement = noise_char();
        while (replacement == c);
        c = replacement;
        positions.erase(positions.begin() + static_cast<std::ptrdiff_t>(pick));
    }
}

void FaultPlan::drop(std::string& text, uint32_t count)
{
    for (uint32_t n = 0; n < count; ++n) {
        std::vector<size_t> positions = damageable_positions(text);
        if (positions.empty())
            return;
        text.erase(positions[rng_() % positions.size()], 1);
    }
}

}  // namespace sim
