// What the modem has to say, each piece with the time it is due. Pieces go
// out in the order queued: a piece is never due before the one ahead of it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace sim {

constexpr uint64_t NEVER = UINT64_MAX;

class OutputQueue {
public:
    void push(uint64_t due_ms, std::string text);
    // Everything due by now_ms, in order.
    std::string take(uint64_t now_ms);
    uint64_t next_due() const { return items_.empty() ? NEVER : items_.front().due_ms; }
    void clear() { items_.clear(); }

private:
    struct Item {
        uint64_t due_ms;
        std::string text;
    };
    std::deque<Item> items_;
};

}  // namespace sim
