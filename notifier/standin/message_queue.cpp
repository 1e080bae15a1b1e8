// The thread's message queue and the message loop calls; an empty queue plays the next user action.
#include <deque>

#include "notifier/standin/internal.hpp"

namespace {

struct ThreadQueue {
    std::deque<MSG> posted;
    // Like Windows, the quit request is a flag seen only once the posted messages are gone.
    bool quit_requested = false;
    int quit_code = 0;
};

thread_local ThreadQueue queue;

}  // namespace

namespace standin {

bool take_queued_message(MSG& message) {
    if (!queue.posted.empty()) {
        message = queue.posted.front();
        queue.posted.pop_front();
        return true;
    }
    if (queue.quit_requested) {
        queue.quit_requested = false;
        message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quit_code), 0};
        return true;
    }
    return false;
}

}  // namespace standin

BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (window != nullptr && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    queue.posted.push_back(MSG{window, message, wparam, lparam});
    return TRUE;
}

void PostQuitMessage(int exit_code) {
    queue.quit_requested = true;
    queue.quit_code = exit_code;
}

BOOL GetMessageW(MSG* message, HWND window, UINT filter_min, UINT filter_max) {
    if (message == nullptr || window != nullptr || filter_min != 0 || filter_max != 0) {
        standin::report("GetMessageW supports only unfiltered retrieval into a message");
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    for (;;) {
        if (standin::take_queued_message(*message)) {
            return message->message == WM_QUIT ? FALSE : TRUE;
        }
        const auto action = standin::next_user_action();
        if (!action) {
            // The user does nothing: the balloon times out, if one is up.
            if (standin::deliver_icon_action(standin::ActionKind::timeout)) {
                continue;
            }
            standin::report("no user action left and nothing else can send a message: GetMessageW fails");
            SetLastError(ERROR_INVALID_PARAMETER);
            return -1;
        }
        if (!standin::is_icon_action(action->kind) || !standin::deliver_icon_action(action->kind)) {
            standin::report("user action ignored, nothing to act on: [" + action->text + "]");
        }
    }
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageW(const MSG* message) {
    if (message == nullptr || message->hwnd == nullptr) {
        return 0;
    }
    if (!IsWindow(message->hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return message->hwnd->procedure(message->hwnd, message->message, message->wParam, message->lParam);
}
