// The scripted desktop on POSIX: plays the user's actions from NOTIFIER_USER_ACTIONS and writes what a person would see to standard error.
//
// Each line it writes starts with "standin:". The taskbar may come late (NOTIFIER_TASKBAR_DELAY_MS,
// from the first icon request on) and be restarted (the taskbar-restart action), the shell may
// hide the balloon because the user is busy (hidden) and the session may end (session-end);
// NOTIFIER_TIMER_DIVISOR runs every timer that many times faster. The trace names the Win32
// calls and events the Windows desktop makes at the same points, so that both traces read alike.
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "notifier/desktop.hpp"
#include "notifier/notifier_state.hpp"
#include "notifier/resource_strings.hpp"
#include "support/diagnostic_text.hpp"
#include "support/text_conversion.hpp"

extern char** environ;

namespace notifier {
namespace {

using Clock = std::chrono::steady_clock;

// The Windows error codes the trace names, and Windows' sentences for them.
constexpr uint32_t error_file_not_found = 2, error_path_not_found = 3, error_access_denied = 5,
                   error_invalid_data = 13, error_invalid_parameter = 87, error_invalid_name = 123,
                   error_no_association = 1155, error_timeout = 1460;
std::string error_text(uint32_t code) {
    static const std::pair<uint32_t, const char*> sentences[] = {
        {error_file_not_found, "The system cannot find the file specified."},
        {error_path_not_found, "The system cannot find the path specified."},
        {error_access_denied, "Access is denied."},
        {error_invalid_data, "The data is invalid."},
        {error_invalid_parameter, "The parameter is incorrect."},
        {error_invalid_name, "The filename, directory name, or volume label syntax is incorrect."},
        {error_no_association, "No application is associated with the specified file for this operation."},
        {error_timeout, "This operation returned because the timeout period expired."},
    };
    const auto found = std::find_if(std::begin(sentences), std::end(sentences),
                                    [code](const auto& entry) { return entry.first == code; });
    return found == std::end(sentences)
               ? "Cannot format code: [" + checker::to_string(code) + "] into message, error code: [317]"
               : "code: [" + checker::to_string(code) + "], message: [" + found->second + "]";
}

void report(const std::string& line) {
    std::fprintf(stderr, "standin: %s\n", line.c_str());
    std::fflush(stderr);
}

enum class Action {
    select, balloon, context, key, timeout, hidden, taskbar_restart, session_end, expand, cancel, link, close, sleep,
    remind, skip
};
struct UserAction {
    Action kind;
    std::size_t link_number;  // for link: which visible link, counted from 1
    std::string text;         // as written, for reports
};

// The comma-separated list of NOTIFIER_USER_ACTIONS; "link:N" follows the N-th visible link.
std::vector<UserAction> read_actions() {
    static const char* const words[] = {"select", "balloon", "context", "key",   "timeout", "hidden",
                                        "taskbar-restart", "session-end", "expand", "cancel", "link", "close",
                                        "sleep", "remind", "skip"};
    std::vector<UserAction> actions;
    const char* list = std::getenv("NOTIFIER_USER_ACTIONS");
    const std::string text = list == nullptr ? std::string() : list;
    for (std::size_t start = 0, end = 0; list != nullptr && start <= text.size(); start = end + 1) {
        end = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, end - start);
        const std::size_t first = item.find_first_not_of(" \t");
        if (first == std::string::npos) {
            continue;
        }
        const std::string action = item.substr(first, item.find_last_not_of(" \t") - first + 1);
        const std::string word = action.substr(0, action.find(':'));
        const std::string number = word.size() < action.size() ? action.substr(word.size() + 1) : "1";
        const auto known = std::find(std::begin(words), std::end(words), word);
        if (known == std::end(words) || (word != "link" && word.size() < action.size()) || number.empty() ||
            number.size() > 3 || number.find_first_not_of("0123456789") != std::string::npos) {
            report("unknown user action skipped: [" + action + "]");
            continue;
        }
        actions.push_back(UserAction{static_cast<Action>(known - std::begin(words)), std::stoul(number), action});
    }
    return actions;
}

long environment_number(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? 0 : std::atol(value);
}

uint32_t little_endian(const std::string& bytes, std::size_t at, std::size_t count) {
    uint32_t value = 0;
    for (std::size_t index = count; index-- > 0;) {
        value = value << 8 | static_cast<uint8_t>(bytes[at + index]);
    }
    return value;
}

// What LoadImageW makes of icon.bmp: its bits per pixel, or the Windows code of why it cannot be had.
struct BitmapFile {
    uint32_t fault = 0;
    int64_t bits = 0;
};

// icon.bmp must be a whole device-independent bitmap (info header of 40 bytes or more, all its
// pixel rows in the file).
BitmapFile read_bitmap(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) {
        const int error = S_ISDIR(status.st_mode) ? EISDIR : errno;
        return {error == ENOENT                                          ? error_file_not_found
                : error == ENOTDIR                                       ? error_path_not_found
                : error == EACCES || error == EPERM || error == EISDIR ? error_access_denied
                : error == ENAMETOOLONG                                  ? error_invalid_name
                                                                         : error_invalid_data};
    }
    std::ifstream file(path, std::ios::binary);
    if (!S_ISREG(status.st_mode) || status.st_size > int64_t{64} * 1024 * 1024 || !file) {
        return {error_invalid_data};
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0 || little_endian(bytes, 14, 4) < 40) {
        return {error_invalid_data};
    }
    const int64_t width = static_cast<int32_t>(little_endian(bytes, 18, 4));
    const int64_t height = static_cast<int32_t>(little_endian(bytes, 22, 4));
    const int64_t bits = little_endian(bytes, 28, 2);
    const uint32_t compression = little_endian(bytes, 30, 4);
    const int64_t rows_end = little_endian(bytes, 10, 4) + (width * bits + 31) / 32 * 4 * std::abs(height);
    // Uncompressed, or bit fields for 16 and 32 bits; no run-length encoding.
    const bool known = little_endian(bytes, 26, 2) == 1 && width > 0 && height != 0 &&
                       (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32) &&
                       (compression == 0 || (compression == 3 && (bits == 16 || bits == 32)));
    return known && rows_end <= static_cast<int64_t>(bytes.size()) ? BitmapFile{0, bits} : BitmapFile{error_invalid_data};
}

// Opens an address with xdg-open, started directly (no shell) and waited for; 0, or the Windows
// code ShellExecuteExW gives: no such program, or no program for the address.
uint32_t open_with_xdg_open(const std::string& target) {
    std::string program = "xdg-open";
    std::string argument = target;
    char* arguments[] = {&program[0], &argument[0], nullptr};
    pid_t child = 0;
    const int spawn_error = posix_spawnp(&child, program.c_str(), nullptr, nullptr, arguments, environ);
    if (spawn_error != 0) {
        return spawn_error == ENOENT ? error_file_not_found : error_no_association;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return error_no_association;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : error_no_association;
}

// A dialog while it is up: the update dialog, or the error dialog over it.
struct Dialog {
    bool update;
    std::string title;
    bool choices = false;  // the "Remind me later" and "Skip this version" buttons
    bool expanded = false, ended = false, cancel_requested = false;
    int pressed = 0;
};
constexpr int cancel_button = 2, close_button = 8, remind_button = 101, skip_button = 102;

class ScriptedDesktop final : public Desktop {
public:
    bool open(DesktopEvents& events) override {
        events_ = &events;
        trace("'WM_CREATE' event received");
        trace("is due to add notification");
        tooltip_ = checker::narrow(load_resource_string(string_tooltip));
        balloon_title_ = checker::narrow(load_resource_string(string_balloon_title));
        balloon_text_ = checker::narrow(notifier_state.balloon_text);
        const BitmapFile picture = read_bitmap(checker::narrow(notifier_state.balloon_icon_path));
        if (picture.fault != 0) {
            trace("'LoadImageW' fail, error: [" + error_text(picture.fault) + "]");
        }
        // A balloon text that does not fit the shell's 256 units with its terminator is not cut.
        if (picture.fault == 0 && notifier_state.balloon_text.size() < 256) {
            trace("balloon prepared, info flags: [180], picture: [128 x 128, " + checker::to_string(picture.bits) +
                  " bits]");
            return true;
        }
        end(1);
        trace("'CreateWindowExW' fail, error: [" + error_text(picture.fault) + "]");
        return false;
    }

    IconOutcome show_icon(IconRequest request, bool with_balloon) override {
        if (request == IconRequest::add_again) {
            delete_icon();
        }
        const bool landed = request == IconRequest::check_and_add && add_or_modify(false, with_balloon);
        if (!landed && !add_or_modify(true, with_balloon)) {
            const std::string error = error_text(last_error_);
            trace("'Shell_NotifyIconW' main fail, error: [" + error + "]");
            return IconOutcome{false, error};
        }
        trace("'Shell_NotifyIconW' version, result: [1]");
        return IconOutcome{true, std::string()};
    }

    bool start_timer(Timer which, uint32_t millis) override {
        const long divisor = std::max(1L, environment_number("NOTIFIER_TIMER_DIVISOR"));
        RunTimer& timer = timers_[static_cast<std::size_t>(which)];
        timer.interval = std::chrono::microseconds(int64_t{millis} * 1000 / divisor);
        timer.due = Clock::now() + timer.interval;
        return true;
    }
    void stop_timer(Timer which) override { timers_[static_cast<std::size_t>(which)].due.reset(); }

    // The user is busy for one question after the shell hid the balloon.
    NoticeAttention user_attention() override {
        const bool busy = busy_answers_left_ > 0;
        busy_answers_left_ -= busy ? 1 : 0;
        NoticeAttention attention{!busy, busy ? "presentation mode" : "accepts notifications"};
        report("user notification state: [" + attention.state + "]");
        return attention;
    }

    DialogAnswer run_update_dialog(bool offer_choices) override {
        Dialog dialog{true, checker::narrow(load_resource_string(string_dialog_title)), offer_choices};
        trace("is due to show update dialog");
        std::string line = "task dialog shown, title: [" + dialog.title + "], header: [" +
                           checker::narrow(notifier_state.update_header) + "], icon: [121]";
        for (const auto& link : visible_links(dialog)) {
            line += ", link: [" + checker::narrow(link) + "]";
        }
        if (offer_choices) {
            line += ", buttons: [" + checker::narrow(load_resource_string(string_remind_label)) + ", " +
                    checker::narrow(load_resource_string(string_skip_label)) + ", Cancel]";
        }
        report(line);
        trace("non-proceed dialog event received, code: [7]");
        trace("non-proceed dialog event received, code: [0]");
        update_dialog_ = &dialog;
        run_dialog(dialog);
        update_dialog_ = nullptr;
        trace("update dialog closed, result: [0]");
        return dialog.pressed == remind_button ? DialogAnswer::remind_later
               : dialog.pressed == skip_button ? DialogAnswer::skip_version
                                               : DialogAnswer::closed;
    }
    void bring_update_dialog_to_front() override {
        if (update_dialog_ != nullptr) {
            report("window brought to the front, title: [" + update_dialog_->title + "]");
        }
    }
    void close_update_dialog() override {
        if (update_dialog_ != nullptr) {
            update_dialog_->cancel_requested = true;
        }
    }

    bool open_download_page(const std::u16string& address) override {
        const std::string target = checker::narrow(address);
        const uint32_t error = target.empty() ? error_file_not_found : open_with_xdg_open(target);
        report("shell execute, file: [" + target + "], error: [" + checker::to_string(error) + "]");
        if (error != 0) {
            trace("'ShellExecuteExW' fail, error: [" + error_text(error) + "]");
        }
        return error == 0;
    }
    void show_browser_failure() override {
        Dialog dialog{false, checker::narrow(load_resource_string(string_error_title))};
        report("task dialog shown, title: [" + dialog.title + "], header: [" +
               checker::narrow(load_resource_string(string_error_text)) + "], icon: [error]");
        run_dialog(dialog);
    }

    int run_until_end() override {
        while (!ended_) {
            if (deliver_due_event()) {
                continue;
            }
            const auto action = next_action();
            if (!action) {
                // The user does nothing: the balloon times out, if one is up; otherwise the
                // program sleeps until its next timer or the taskbar's arrival.
                if (deliver_icon_action(Action::timeout) || wait_for_due_event()) {
                    continue;
                }
                report("no user action left and nothing else can send a message: GetMessageW fails");
                trace("'GetMessageW' fail, error: [" + error_text(error_invalid_parameter) + "]");
                return 1;
            }
            if (!deliver_icon_action(action->kind)) {
                report("user action ignored, nothing to act on: [" + action->text + "]");
            }
        }
        return status_;
    }
    void end(int status) override {
        ended_ = true;
        status_ = status;
        trace("'WM_DESTROY' event received");
        for (RunTimer& timer : timers_) {
            timer.due.reset();
        }
        trace("is due to delete notification");
        trace("'Shell_NotifyIconW' delete, result: [" + checker::to_string(delete_icon()) + "]");
    }

private:
    // NOTIFIER_TASKBAR_DELAY_MS counts from the first icon request.
    bool taskbar_up() {
        if (!taskbar_arrival_) {
            const long delay = environment_number("NOTIFIER_TASKBAR_DELAY_MS");
            taskbar_arrival_ = Clock::now() + std::chrono::milliseconds(delay);
            taskbar_up_ = delay <= 0;
        }
        return taskbar_up_;
    }
    // Whether the shell takes an icon request: an add only while the icon is not there, any
    // other request only while it is, and nothing without a taskbar.
    bool shell_takes(bool add) {
        const bool up = taskbar_up();
        const char* refusal = !up                   ? "no taskbar yet"
                              : add == icon_present_ ? (add ? "the icon was already added" : "no such icon")
                                                     : nullptr;
        if (refusal != nullptr) {
            report(std::string("Shell_NotifyIconW refused: ") + refusal);
            last_error_ = up ? error_invalid_parameter : error_timeout;
        }
        return refusal == nullptr;
    }
    bool add_or_modify(bool add, bool with_balloon) {
        if (!shell_takes(add)) {
            return false;
        }
        if (add) {
            icon_present_ = true;
            report("icon added, tooltip: [" + tooltip_ + "]");
        }
        // An empty balloon text shows no balloon.
        if (with_balloon && !balloon_text_.empty()) {
            balloon_visible_ = true;
            report("balloon shown, title: [" + balloon_title_ + "], text: [" + balloon_text_ + "]");
        }
        return true;
    }
    bool delete_icon() {
        if (!shell_takes(false)) {
            return false;
        }
        report("icon removed, tooltip: [" + tooltip_ + "]");
        icon_present_ = balloon_visible_ = false;
        return true;
    }
    // A new taskbar knows no icons and tells the program so.
    void create_taskbar() {
        icon_present_ = balloon_visible_ = false;
        taskbar_up_ = true;
        report("taskbar created");
        events_->taskbar_created();
    }

    // Delivers the taskbar's arrival or a timer when due; false when nothing is.
    bool deliver_due_event() {
        if (!taskbar_up() && Clock::now() >= *taskbar_arrival_) {
            create_taskbar();
            return true;
        }
        for (std::size_t which = 0; which < timers_.size(); ++which) {
            RunTimer& timer = timers_[which];
            if (timer.due && *timer.due <= Clock::now()) {
                timer.due = Clock::now() + timer.interval;
                events_->timer_due(static_cast<Timer>(which));
                return true;
            }
        }
        return false;
    }
    // The taskbar's arrival or the next timer, whichever comes first.
    std::optional<Clock::time_point> next_due_event() const {
        std::optional<Clock::time_point> next;
        if (!taskbar_up_ && taskbar_arrival_) {
            next = taskbar_arrival_;
        }
        for (const RunTimer& timer : timers_) {
            if (timer.due && (!next || *timer.due < *next)) {
                next = timer.due;
            }
        }
        return next;
    }
    // Sleeps until the next due event; false when none is to come.
    bool wait_for_due_event() const {
        const std::optional<Clock::time_point> next = next_due_event();
        if (next) {
            std::this_thread::sleep_until(*next);
        }
        return next.has_value();
    }
    // A second passes for the user; the desktop goes on meanwhile.
    void let_a_second_pass() {
        const Clock::time_point until = Clock::now() + std::chrono::seconds(1);
        while (!ended_ && Clock::now() < until) {
            if (!deliver_due_event()) {
                const std::optional<Clock::time_point> next = next_due_event();
                std::this_thread::sleep_until(next ? std::min(*next, until) : until);
            }
        }
    }

    std::optional<UserAction> next_action() {
        if (!actions_) {
            actions_ = read_actions();
        }
        while (next_action_ < actions_->size()) {
            const UserAction& action = (*actions_)[next_action_++];
            report("user action: [" + action.text + "]");
            if (action.kind != Action::sleep) {
                return action;
            }
            let_a_second_pass();
        }
        return std::nullopt;
    }

    // The desktop's part of an action; false when no icon (or no balloon) can produce it. A
    // click on the balloon, its time-out or its hiding takes the balloon away.
    bool deliver_icon_action(Action kind) {
        if (kind == Action::taskbar_restart && taskbar_up()) {
            report(std::string("taskbar restarted, icons lost: [") + (icon_present_ ? "1" : "0") + "]");
            create_taskbar();
            return true;
        }
        if (kind == Action::session_end) {
            report("session ending");
            events_->session_ending();
            return true;
        }
        const bool balloon_event = kind == Action::balloon || kind == Action::timeout || kind == Action::hidden;
        if (!icon_present_ || (balloon_event && !balloon_visible_)) {
            return false;
        }
        static const std::pair<Action, std::pair<const char*, Selection>> selections[] = {
            {Action::select, {"NIN_SELECT", Selection::click}},
            {Action::key, {"NIN_KEYSELECT", Selection::key}},
            {Action::context, {"WM_CONTEXTMENU", Selection::context_menu}},
            {Action::balloon, {"NIN_BALLOONUSERCLICK", Selection::balloon_click}},
        };
        balloon_visible_ = balloon_visible_ && !balloon_event;
        if (kind == Action::timeout) {
            report("icon event: [NIN_BALLOONTIMEOUT]");
            events_->balloon_timed_out();
            return true;
        }
        if (kind == Action::hidden) {
            // Hidden for a full-screen program or presentation mode: the next question says so.
            busy_answers_left_ = 1;
            report("icon event: [NIN_BALLOONHIDE]");
            events_->balloon_hidden();
            return true;
        }
        for (const auto& entry : selections) {
            if (entry.first == kind) {
                report(std::string("icon event: [") + entry.second.first + "]");
                events_->icon_selected(entry.second.second);
                return true;
            }
        }
        return false;
    }

    // The links a person sees, top to bottom: the footer's, then, once expanded, the targets of
    // the <a href="..."> links in the update text, which opens below the footer.
    std::vector<std::u16string> visible_links(const Dialog& dialog) const {
        std::vector<std::u16string> links;
        if (dialog.update) {
            links.push_back(load_resource_string(string_download_address));
        }
        const std::u16string& text = notifier_state.update_text;
        const std::u16string opening = u"<a href=\"";
        for (std::size_t at = text.find(opening); dialog.update && dialog.expanded && at != std::u16string::npos;
             at = text.find(opening, at)) {
            at += opening.size();
            const std::size_t close = text.find(u'"', at);
            if (close == std::u16string::npos) {
                break;
            }
            links.push_back(text.substr(at, close - at));
            at = close;
        }
        return links;
    }

    // Ends the dialog; a button pressed (not 0) is announced to the update dialog's callback first.
    void press(Dialog& dialog, int button) {
        if (dialog.update && button != 0) {
            trace("non-proceed dialog event received, code: [2]");
        }
        report("task dialog closed, title: [" + dialog.title + "], button: [" + std::to_string(button) + "]");
        if (dialog.update) {
            trace("non-proceed dialog event received, code: [5]");
        }
        dialog.ended = true;
        dialog.pressed = button;
    }

    // Carries out one user action while the dialog is up; false when it had nothing to act on.
    // The update dialog has a Cancel button and a close box that cancels, the error dialog a
    // Close button only.
    bool play(Dialog& dialog, const UserAction& action) {
        switch (action.kind) {
        case Action::expand:
            if (dialog.update) {
                dialog.expanded = !dialog.expanded;
                report(dialog.expanded ? "task dialog expanded, button: [" +
                                             checker::narrow(load_resource_string(string_expand_label)) +
                                             "], text: [" + checker::narrow(notifier_state.update_text) + "]"
                                       : std::string("task dialog collapsed"));
                trace("non-proceed dialog event received, code: [10]");
            }
            return dialog.update;
        case Action::cancel:
            if (dialog.update) {
                press(dialog, cancel_button);
            }
            return dialog.update;
        case Action::close: press(dialog, dialog.update ? cancel_button : close_button); return true;
        case Action::remind:
        case Action::skip:
            if (dialog.choices) {
                press(dialog, action.kind == Action::remind ? remind_button : skip_button);
            }
            return dialog.choices;
        case Action::link: {
            const auto links = visible_links(dialog);
            if (action.link_number < 1 || action.link_number > links.size()) {
                return false;
            }
            const std::u16string& target = links[action.link_number - 1];
            report("link followed: [" + checker::narrow(target) + "]");
            events_->link_followed(target);
            return true;
        }
        default: return deliver_icon_action(action.kind);
        }
    }

    // A dialog's modal loop: the Cancel press the program asked for first, then what falls due,
    // then the next user action; with none left the dialog is dismissed.
    void run_dialog(Dialog& dialog) {
        while (!dialog.ended) {
            if (ended_) {
                press(dialog, 0);
            } else if (dialog.cancel_requested) {
                press(dialog, cancel_button);
            } else if (!deliver_due_event()) {
                const auto action = next_action();
                if (!action) {
                    report("no user action left: the dialog is dismissed");
                    press(dialog, dialog.update ? cancel_button : close_button);
                } else if (!play(dialog, *action)) {
                    report("user action ignored, nothing to act on: [" + action->text + "]");
                }
            }
        }
    }

    DesktopEvents* events_ = nullptr;
    std::string tooltip_, balloon_title_, balloon_text_;
    std::optional<std::vector<UserAction>> actions_;
    std::size_t next_action_ = 0;
    std::optional<Clock::time_point> taskbar_arrival_;
    bool taskbar_up_ = false;
    bool icon_present_ = false;
    bool balloon_visible_ = false;
    uint32_t last_error_ = 0;
    int busy_answers_left_ = 0;
    struct RunTimer {
        std::optional<Clock::time_point> due;
        Clock::duration interval{};
    };
    std::array<RunTimer, 3> timers_{};
    Dialog* update_dialog_ = nullptr;
    bool ended_ = false;
    int status_ = 0;
};

}  // namespace

std::unique_ptr<Desktop> make_desktop() {
    return std::make_unique<ScriptedDesktop>();
}

}  // namespace notifier
