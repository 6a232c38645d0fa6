// One flash of the soak: makes the files, starts modemsim with the plan's
// set-up and faults, runs flashloader-cli against it, and judges the end.
#pragma once

#include "soak_plan.h"

#include <string>

struct SoakTools {
    std::string cli;       // flashloader-cli
    std::string modemsim;  // modemsim
    std::string fd_audit;  // the shared library preloaded into the flasher
    std::string work_dir;  // where each run makes its own directory
    // The flasher allows 180 s for the first image line after an erase, so
    // a run whose first line is lost rightly takes over three minutes; past
    // this bound it counts as hung.
    int hang_limit_ms = 240000;
};

struct RunResult {
    int exit_status = -1;  // the flasher's, when it exited
    bool false_success = false;
    bool crash = false;        // a signal, or a sanitizer's report
    bool hang = false;         // killed at the limit
    bool leak = false;         // a descriptor left open, or a process left alive
    bool setup_error = false;  // the soak could not prepare the run
    std::string detail;        // what went wrong, for the report
    std::string dir;           // kept when the run went wrong
};

RunResult run_soak_flash(const SoakTools& tools, const SoakPlan& plan, int run);
bool run_went_wrong(const RunResult& result);
