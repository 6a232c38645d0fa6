// Paces one direction of the line at a fixed character rate, like a UART:
// credit grows with time, at most a small burst is saved up.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

class LinePacer {
public:
    explicit LinePacer(uint32_t chars_per_second, size_t burst = 64)
        : rate_(chars_per_second), burst_milli_(burst * 1000)
    {
    }

    // Characters the line can carry at now_ms.
    size_t available(uint64_t now_ms)
    {
        if (now_ms > last_ms_) {
            credit_milli_ += (now_ms - last_ms_) * rate_;
            if (credit_milli_ > burst_milli_)
                credit_milli_ = burst_milli_;
            last_ms_ = now_ms;
        }
        return static_cast<size_t>(credit_milli_ / 1000);
    }

    void spend(size_t count) { credit_milli_ -= count * 1000; }

private:
    uint64_t rate_;
    uint64_t burst_milli_;
    uint64_t credit_milli_ = 0;
    uint64_t last_ms_ = 0;
};

}  // namespace sim
