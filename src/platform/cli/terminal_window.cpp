#include "platform/cli/terminal_window.h"

#include "app/flash_job.h"
#include "platform/cli/close_signal.h"
#include "platform/cli/image_file.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace {

std::string lower_trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r");
    size_t last = text.find_last_not_of(" \t\r");
    std::string word = first == std::string::npos ? "" : text.substr(first, last - first + 1);
    for (char& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

// --yes restarts a failed erase or programming this often, then answers No:
// a chip that keeps failing needs a person, not an endless loop.
constexpr int MAX_UNATTENDED_RESTARTS = 3;

int poll_timeout(uint32_t max_ms)
{
    return max_ms > INT_MAX ? INT_MAX : static_cast<int>(max_ms);
}

}  // namespace

int TerminalWindow::message_box(const char* text, const char* caption, unsigned flags)
{
    view_.release();
    bool answering_close = close_delivered_;
    close_delivered_ = false;
    if (!(flags & platform::mb::YESNO)) {
        std::fprintf(config_.out, "[%s] %s\n", printable(caption, false).c_str(), printable(text, true).c_str());
        std::fflush(config_.out);
        return platform::mb::ANSWER_OK;
    }
    // The core asks to restart the erase only while it awaits an answer to
    // an image line; a close question then is the user's own.
    bool restart_question = !answering_close && job.job_state == ST_AWAIT_ACK;
    int answer = ask(text, caption, flags, restart_question);
    bool yes = answer == platform::mb::ANSWER_YES;
    if (answering_close && yes)
        closed_by_user_ = true;
    if (!answering_close && !yes && job.job_state == ST_PROBE_PORT)
        declined_probe_question_ = true;
    return answer;
}

// A question shows its default button as the capital letter. Without a
// terminal to ask (and without --yes or --no) the default button answers.
int TerminalWindow::ask(const char* text, const char* caption, unsigned flags, bool restart_question)
{
    bool default_yes = !(flags & platform::mb::DEFBUTTON2);
    std::fprintf(config_.out, "[%s] %s %s ", printable(caption, false).c_str(), printable(text, true).c_str(),
                 default_yes ? "[Y/n]" : "[y/N]");
    bool yes = default_yes;
    std::string how = "(default)";
    if (config_.answers != AnswerMode::Ask) {
        yes = config_.answers == AnswerMode::Yes;
        how = yes ? "(--yes)" : "(--no)";
        if (yes && restart_question && ++restarts_answered_yes_ > MAX_UNATTENDED_RESTARTS) {
            yes = false;
            how = "(--yes gives up after " + std::to_string(MAX_UNATTENDED_RESTARTS) + " restarts)";
        }
    } else if (config_.in_is_terminal) {
        for (;;) {
            std::fflush(config_.out);
            std::string line;
            Input input = read_line(line);
            if (input != Input::Line) {
                // Ctrl-C or the end of input at a question: the safe answer.
                std::fprintf(config_.out, "\n");
                yes = false;
                how = input == Input::Interrupted ? "(Ctrl-C)" : "(end of input)";
                break;
            }
            std::string word = lower_trimmed(line);
            if (word.empty() || word == "y" || word == "yes" || word == "n" || word == "no") {
                yes = word.empty() ? default_yes : word[0] == 'y';
                how.clear();
                break;
            }
            std::fprintf(config_.out, "Please answer y or n %s ", default_yes ? "[Y/n]" : "[y/N]");
        }
    }
    if (!how.empty())
        std::fprintf(config_.out, "%s %s\n", yes ? "y" : "n", how.c_str());
    std::fflush(config_.out);
    return yes ? platform::mb::ANSWER_YES : platform::mb::ANSWER_NO;
}

TerminalWindow::Input TerminalWindow::read_line(std::string& line)
{
    for (;;) {
        size_t end = pending_input_.find('\n');
        if (end != std::string::npos) {
            line = pending_input_.substr(0, end);
            pending_input_.erase(0, end + 1);
            return Input::Line;
        }
        pollfd fds[2] = {{config_.in_fd, POLLIN, 0}, {config_.close_fd, POLLIN, 0}};
        if (poll(fds, config_.close_fd >= 0 ? 2 : 1, -1) < 0)
            continue;  // interrupted by the signal whose byte is now waiting
        if (take_close_request(config_.close_fd)) {
            pending_input_.clear();
            return Input::Interrupted;
        }
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char chunk[256];
        ssize_t n = read(config_.in_fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (pending_input_.empty())
                return Input::End;
            line = pending_input_;  // a last line without its line feed
            pending_input_.clear();
            return Input::Line;
        }
        pending_input_.append(chunk, static_cast<size_t>(n));
    }
}

bool TerminalWindow::take_image(const std::string& name, platform::OpenFileRequest& request)
{
    std::string full_path;
    std::string reason;
    if (!resolve_image_name(name, request.default_extension, full_path, reason)) {
        std::fprintf(config_.out, "%s\n", printable(reason.c_str(), false).c_str());
        return false;
    }
    // A path that does not fit the buffers fails the choice, as a dialog does.
    std::string title = full_path.substr(full_path.rfind('/') + 1);
    if (full_path.size() >= static_cast<size_t>(request.file_size) ||
        title.size() >= static_cast<size_t>(request.file_title_size)) {
        std::fprintf(config_.out, "%s: the path is too long\n", printable(full_path.c_str(), false).c_str());
        return false;
    }
    std::memcpy(request.file, full_path.c_str(), full_path.size() + 1);
    std::memcpy(request.file_title, title.c_str(), title.size() + 1);
    return true;
}

// The image named on the command line, or one typed at the terminal with the
// proposed name as the default; a name that does not exist is refused and
// asked for again. The end of input or Ctrl-C cancels the choice.
bool TerminalWindow::open_file_dialog(platform::OpenFileRequest& request)
{
    view_.release();
    if (!config_.image.empty())
        return take_image(config_.image, request);
    if (!config_.in_is_terminal)
        return false;
    std::string proposed = request.file;
    for (;;) {
        std::fprintf(config_.out, "%s [%s]: ", request.title, printable(proposed.c_str(), false).c_str());
        std::fflush(config_.out);
        std::string line;
        if (read_line(line) != Input::Line) {
            std::fprintf(config_.out, "\n");
            std::fflush(config_.out);
            file_choice_cancelled_ = true;
            return false;
        }
        size_t first = line.find_first_not_of(" \t\r");
        size_t last = line.find_last_not_of(" \t\r");
        std::string name = first == std::string::npos ? proposed : line.substr(first, last - first + 1);
        if (take_image(name, request))
            return true;
    }
}

void TerminalWindow::destroy_main_window()
{
    // Destroyed right after a close request: the user ended the job.
    if (close_delivered_)
        closed_by_user_ = true;
    close_delivered_ = false;
    view_.release();
    std::fflush(config_.out);
}

platform::WindowEvent TerminalWindow::next_event()
{
    close_delivered_ = false;
    if (take_close_request(config_.close_fd)) {
        close_delivered_ = true;
        return platform::WindowEvent::CloseRequested;
    }
    return platform::WindowEvent::None;
}

void TerminalWindow::idle_wait(int serial_fd, uint32_t max_ms)
{
    pollfd fds[2] = {{config_.close_fd, POLLIN, 0}, {serial_fd, POLLIN, 0}};
    int count = serial_fd >= 0 ? 2 : 1;
    if (poll(fds, static_cast<nfds_t>(count), poll_timeout(max_ms)) <= 0)
        return;
    // A hung-up line polls ready for ever without data: wait for a close
    // request alone rather than spin until the job's deadline.
    if (count == 2 && !(fds[0].revents & POLLIN) && (fds[1].revents & (POLLHUP | POLLERR)) &&
        !(fds[1].revents & POLLIN))
        poll(fds, 1, poll_timeout(max_ms));
}
