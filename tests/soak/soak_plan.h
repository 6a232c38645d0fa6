// One run of the soak, drawn from the soak's seed and the run's number: the
// image, the modem's set-up, its faults and the flasher's answer to questions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SoakPlan {
    enum Setup { NoResidentLoader, ResidentHeld, ResidentRunning };
    Setup setup = NoResidentLoader;
    int image_size = 2048;
    std::string sector;    // "40" or "10"
    std::string checksum;  // four hex digits
    int erase_ms = 100;
    uint64_t sim_seed = 1;
    bool answer_yes = true;
    std::vector<std::string> faults;  // "KIND[:ARG]@WHERE"
};

SoakPlan draw_plan(uint64_t soak_seed, int run);
const char* setup_name(SoakPlan::Setup setup);

// The simulator's options for the plan (after the program's path).
std::vector<std::string> modem_options(const SoakPlan& plan);
