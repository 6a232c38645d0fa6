#include "soak_plan.h"

#include <cstdio>
#include <random>

namespace {

// Every fault the simulator knows, with the argument it may take.
struct FaultKind {
    const char* name;
    int arg_min, arg_max;  // 0, 0: takes none
};
constexpr FaultKind FAULT_KINDS[] = {
    {"silent", 0, 0},     {"late", 1100, 3000}, {"nok1", 0, 0},      {"nok2", 0, 0},
    {"nok3", 0, 0},       {"nok4", 0, 0},       {"rx-corrupt", 1, 3}, {"rx-drop", 1, 3},
    {"tx-corrupt", 1, 3}, {"tx-drop", 1, 3},    {"garbage", 1, 200},  {"stream", 0, 0},
    {"vanish", 0, 0},
};
constexpr const char* PROBABILITIES[] = {"0.005", "0.01", "0.02", "0.05", "0.1"};
constexpr int MAX_FAULTS = 3;
constexpr int MAX_COMMAND = 40;  // probe, loader start and records of the loader file
constexpr int MAX_LINE = 280;    // a 4 KiB image has about 260 lines

int pick(std::mt19937_64& rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}

std::string draw_fault(std::mt19937_64& rng)
{
    const FaultKind& kind = FAULT_KINDS[pick(rng, 0, std::size(FAULT_KINDS) - 1)];
    std::string fault = kind.name;
    if (kind.arg_max > 0 && pick(rng, 0, 1) == 1)
        fault += ":" + std::to_string(pick(rng, kind.arg_min, kind.arg_max));
    bool on_lines = pick(rng, 0, 1) == 1;
    fault += on_lines ? "@line=" : "@cmd=";
    if (pick(rng, 0, 2) == 0)
        fault += std::string("p") + PROBABILITIES[pick(rng, 0, std::size(PROBABILITIES) - 1)];
    else
        fault += std::to_string(pick(rng, 1, on_lines ? MAX_LINE : MAX_COMMAND));
    return fault;
}

std::string hex4(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

}  // namespace

SoakPlan draw_plan(uint64_t soak_seed, int run)
{
    std::seed_seq seeds{static_cast<uint32_t>(soak_seed), static_cast<uint32_t>(soak_seed >> 32),
                        static_cast<uint32_t>(run)};
    std::mt19937_64 rng(seeds);
    SoakPlan plan;
    plan.setup = static_cast<SoakPlan::Setup>(pick(rng, 0, 2));
    plan.image_size = pick(rng, 1024, 4096);
    plan.sector = pick(rng, 0, 1) == 0 ? "40" : "10";
    plan.checksum = hex4(pick(rng, 0, 0xFFFF));
    plan.erase_ms = pick(rng, 10, 300);
    plan.sim_seed = rng() % 1000000 + 1;
    plan.answer_yes = pick(rng, 0, 3) != 0;
    int fault_count = pick(rng, 0, MAX_FAULTS);
    for (int i = 0; i < fault_count; ++i)
        plan.faults.push_back(draw_fault(rng));
    return plan;
}

const char* setup_name(SoakPlan::Setup setup)
{
    switch (setup) {
    case SoakPlan::NoResidentLoader: return "no resident loader";
    case SoakPlan::ResidentHeld: return "resident loader held";
    case SoakPlan::ResidentRunning: return "resident loader running";
    }
    return "?";
}

std::vector<std::string> modem_options(const SoakPlan& plan)
{
    std::vector<std::string> options = {"--erase-ms", std::to_string(plan.erase_ms), "--seed",
                                        std::to_string(plan.sim_seed)};
    if (plan.setup != SoakPlan::NoResidentLoader)
        options.insert(options.end(), {"--resident", plan.sector + ":" + plan.checksum});
    if (plan.setup == SoakPlan::ResidentRunning)
        options.push_back("--in-rrfl");
    for (const std::string& fault : plan.faults)
        options.insert(options.end(), {"--fault", fault});
    return options;
}
