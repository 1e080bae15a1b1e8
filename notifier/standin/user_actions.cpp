// Plays back the user's actions from NOTIFIER_USER_ACTIONS, one each time the program waits for input.
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "notifier/standin/internal.hpp"

namespace {
std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}
std::optional<standin::UserAction> parse_action(const std::string& text) {
    using standin::ActionKind;
    static const std::pair<const char*, ActionKind> words[] = {
        {"select", ActionKind::select}, {"balloon", ActionKind::balloon}, {"context", ActionKind::context},
        {"key", ActionKind::key},       {"timeout", ActionKind::timeout}, {"expand", ActionKind::expand},
        {"taskbar-restart", ActionKind::taskbar_restart},
        {"cancel", ActionKind::cancel}, {"link", ActionKind::link},       {"close", ActionKind::close},
        {"sleep", ActionKind::sleep},
    };
    std::string word = text;
    int link_number = 1;
    // "link:N" follows the N-th link of the dialog instead of the first.
    const auto colon = text.find(':');
    if (colon != std::string::npos) {
        word = text.substr(0, colon);
        const std::string number = text.substr(colon + 1);
        if (word != "link" || number.empty() || number.find_first_not_of("0123456789") != std::string::npos ||
            number.size() > 3) {
            return std::nullopt;
        }
        link_number = std::atoi(number.c_str());
    }
    for (const auto& entry : words) {
        if (word == entry.first) {
            return standin::UserAction{entry.second, link_number, text};
        }
    }
    return std::nullopt;
}
std::vector<standin::UserAction> read_actions() {
    std::vector<standin::UserAction> actions;
    const char* list = std::getenv("NOTIFIER_USER_ACTIONS");
    if (list == nullptr) {
        return actions;
    }
    const std::string text(list);
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = std::min(text.find(',', start), text.size());
        const std::string item = trimmed(text.substr(start, end - start));
        if (!item.empty()) {
            if (const auto action = parse_action(item)) {
                actions.push_back(*action);
            } else {
                standin::report("unknown user action skipped: [" + item + "]");
            }
        }
        start = end + 1;
    }
    return actions;
}
}  // namespace

namespace standin {
std::optional<UserAction> next_user_action() {
    static const std::vector<UserAction> actions = read_actions();
    static std::size_t next = 0;
    while (next < actions.size()) {
        const UserAction& action = actions[next++];
        report("user action: [" + action.text + "]");
        if (action.kind != ActionKind::sleep) {
            return action;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    return std::nullopt;
}
bool is_icon_action(ActionKind kind) {
    return kind == ActionKind::select || kind == ActionKind::balloon || kind == ActionKind::context ||
           kind == ActionKind::key || kind == ActionKind::timeout || kind == ActionKind::taskbar_restart;
}
}  // namespace standin
