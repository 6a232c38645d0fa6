#include "fakes.h"

#include "app/flash_job.h"

#include <algorithm>
#include <cstring>

namespace fakes {

uint32_t FakeClock::tick_ms()
{
    uint32_t t = now;
    now += step_ms;
    return t;
}

void FakeClock::sleep_ms(uint32_t ms)
{
    now += ms;
    slept_ms += ms;
}

std::vector<std::string> CapturedDebug::lines() const
{
    std::vector<std::string> result;
    for (size_t i = 1; i < outputs.size(); i += 3)
        result.push_back(outputs[i]);
    return result;
}

bool CapturedDebug::logged(const std::string& text) const
{
    return count(text) > 0;
}

int CapturedDebug::count(const std::string& text) const
{
    auto all = lines();
    return static_cast<int>(std::count(all.begin(), all.end(), text));
}

int ScriptedWindow::message_box(const char* text, const char* caption, unsigned flags)
{
    boxes.push_back({text, caption, flags});
    if (!answers.empty()) {
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return (flags & platform::mb::YESNO) ? platform::mb::ANSWER_NO : platform::mb::ANSWER_OK;
}

bool ScriptedWindow::open_file_dialog(platform::OpenFileRequest& request)
{
    ++dialog_calls;
    dialog_initial_file = request.file;
    dialog_title = request.title ? request.title : "";
    dialog_filter.clear();
    for (const char* p = request.filter; p && *p; p += std::strlen(p) + 1) {
        dialog_filter += p;
        dialog_filter += '|';
    }
    dialog_filter_index = request.filter_index;
    dialog_default_extension = request.default_extension ? request.default_extension : "";
    dialog_file_must_exist = request.file_must_exist;
    dialog_hide_read_only = request.hide_read_only;
    if (!dialog_result)
        return false;
    std::snprintf(request.file, request.file_size, "%s", dialog_path.c_str());
    std::snprintf(request.file_title, request.file_title_size, "%s", dialog_file_title.c_str());
    return true;
}

platform::WindowEvent ScriptedWindow::next_event()
{
    if (events.empty())
        return platform::WindowEvent::None;
    auto event = events.front();
    events.pop_front();
    return event;
}

void ScriptedWindow::idle_wait(int serial_fd, uint32_t max_ms)
{
    ++idle_wait_calls;
    idle_serial_fds.push_back(serial_fd);
    if (!events.empty())
        return;
    if (modem && serial_fd >= 0 && serial_fd == modem->poll_fd())
        modem->wait_readable(max_ms);
    else if (clock)
        clock->advance(max_ms);
}

const Box* ScriptedWindow::find_box(const std::string& caption) const
{
    for (const Box& box : boxes)
        if (box.caption == caption)
            return &box;
    return nullptr;
}

void FakeModem::on(const std::string& command, std::vector<Piece> reply, int uses)
{
    rules_.push_back({command, std::move(reply), uses});
}

void FakeModem::on(const std::string& command, const std::string& reply, int uses)
{
    on(command, std::vector<Piece>{{reply, 0}}, uses);
}

void FakeModem::feed(const std::string& text, uint32_t delay_ms)
{
    if (text.empty())
        return;  // a serial line never delivers nothing
    uint32_t at = clock_.now + delay_ms;
    if (!arrivals_.empty() && static_cast<int32_t>(arrivals_.back().at - at) > 0)
        at = arrivals_.back().at;  // a serial line keeps its order
    arrivals_.push_back({at, text});
}

std::string FakeModem::all_written() const
{
    std::string all;
    for (const auto& w : writes)
        all += w;
    return all;
}

bool FakeModem::open(const char* com_name)
{
    ++open_calls;
    opened_names.emplace_back(com_name);
    if (fail_open || std::find(absent_ports.begin(), absent_ports.end(), com_name) != absent_ports.end())
        return false;
    is_open = true;
    return true;
}

bool FakeModem::get_settings(platform::LineSettings& settings)
{
    if (fail_get_settings)
        return false;
    settings = initial;
    return true;
}

bool FakeModem::set_settings(const platform::LineSettings& settings)
{
    if (fail_set_settings)
        return false;
    applied = settings;
    return true;
}

uint32_t FakeModem::waiting_now()
{
    uint32_t total = 0;
    for (const auto& a : arrivals_) {
        if (static_cast<int32_t>(clock_.now - a.at) < 0)
            break;
        total += static_cast<uint32_t>(a.text.size());
    }
    return total;
}

bool FakeModem::clear_errors(uint32_t& flags, uint32_t& bytes_waiting)
{
    flags = pending_error_flags;
    pending_error_flags = 0;
    bytes_waiting = waiting_now();
    return true;
}

bool FakeModem::read(void* dest, uint32_t count, uint32_t& got)
{
    ++read_calls;
    got = 0;
    if (fail_reads)
        return false;
    char* out = static_cast<char*>(dest);
    while (got < count && !arrivals_.empty() && static_cast<int32_t>(clock_.now - arrivals_.front().at) >= 0) {
        std::string& text = arrivals_.front().text;
        uint32_t take = std::min<uint32_t>(count - got, static_cast<uint32_t>(text.size()));
        std::memcpy(out + got, text.data(), take);
        got += take;
        text.erase(0, take);
        if (text.empty())
            arrivals_.pop_front();
    }
    return true;
}

bool FakeModem::write(const void* data, uint32_t count)
{
    std::string text(static_cast<const char*>(data), count);
    if (fail_writes > 0) {
        --fail_writes;
        writes.push_back(text);
        return false;
    }
    writes.push_back(text);
    for (auto& rule : rules_) {
        if (rule.uses == 0 || (!rule.command.empty() && rule.command != text))
            continue;
        if (rule.uses > 0)
            --rule.uses;
        for (const auto& piece : rule.reply)
            feed(piece.text, piece.delay_ms);
        break;
    }
    if (on_write)
        on_write(text);
    return true;
}

void FakeModem::close()
{
    ++close_calls;
    is_open = false;
}

void FakeModem::wait_readable(uint32_t max_ms)
{
    if (waiting_now() > 0)
        return;
    // Time only moves forward: sleep to the next arrival or max_ms from now.
    uint32_t until = clock_.now + max_ms;
    if (!arrivals_.empty() && static_cast<int32_t>(arrivals_.front().at - clock_.now) > 0
        && static_cast<int32_t>(arrivals_.front().at - until) < 0)
        until = arrivals_.front().at;
    clock_.now = until;
}

Doubles::Doubles()
{
    reset_flash_job();
    auto& s = platform::services();
    s.clock = &clock;
    s.debug = &debug;
    s.serial = &modem;
    s.window = &window;
    window.clock = &clock;
    window.modem = &modem;
}

Doubles::~Doubles()
{
    platform::services() = platform::Services{};
}

}  // namespace fakes
