// Shared pieces of the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>

// Stops the run with a crash report when an invariant does not hold, so
// libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                        \
    do {                                                                             \
        if (!(condition))                                                            \
            fuzz_check_failed(#condition, __FILE__, __LINE__);                       \
    } while (0)

[[noreturn]] void fuzz_check_failed(const char* condition, const char* file, int line);

// Writes the bytes to this process's scratch file (created owner-only on
// first use, removed at exit) and returns its path.
const char* write_scratch_file(const uint8_t* data, size_t size);

// The job's text buffers end within their size.
void check_job_texts_terminated();
