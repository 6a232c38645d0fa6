#include "sim/output_queue.h"

#include <algorithm>

namespace sim {

void OutputQueue::push(uint64_t due_ms, std::string text)
{
    if (text.empty())
        return;
    if (!items_.empty())
        due_ms = std::max(due_ms, items_.back().due_ms);
    items_.push_back({due_ms, std::move(text)});
}

std::string OutputQueue::take(uint64_t now_ms)
{
    std::string out;
    while (!items_.empty() && items_.front().due_ms <= now_ms) {
        out += items_.front().text;
        items_.pop_front();
    }
    return out;
}

}  // namespace sim
