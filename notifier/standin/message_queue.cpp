// The thread's message queue, its timers and the message loop calls; an empty queue plays the next user action.
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <thread>
#include <vector>

#include "notifier/standin/internal.hpp"

namespace {
using Clock = std::chrono::steady_clock;
struct Timer { HWND window; UINT_PTR id; Clock::duration interval; Clock::time_point due; };
struct ThreadQueue {
    std::deque<MSG> posted;
    std::vector<Timer> timers;
    // Like Windows, the quit request is a flag seen only once the posted messages are gone.
    bool quit_requested = false;
    int quit_code = 0;
};
thread_local ThreadQueue queue;
// NOTIFIER_TIMER_DIVISOR=N runs the timers N times faster: tests need not wait for retries in real time.
Clock::duration timer_interval(UINT elapse_ms) {
    static const char* divisor = std::getenv("NOTIFIER_TIMER_DIVISOR");
    return std::chrono::microseconds(int64_t{elapse_ms} * 1000 / std::max(1L, divisor ? std::atol(divisor) : 1L));
}
// A timer that is due posts one WM_TIMER and comes again an interval later; a window's timers go with it.
void post_due_timers() {
    queue.timers.erase(std::remove_if(queue.timers.begin(), queue.timers.end(),
                                      [](const Timer& timer) { return !IsWindow(timer.window); }),
                       queue.timers.end());
    for (Timer& timer : queue.timers) {
        if (timer.due <= Clock::now()) {
            queue.posted.push_back(MSG{timer.window, WM_TIMER, timer.id, 0});
            timer.due = Clock::now() + timer.interval;
        }
    }
}
}  // namespace

namespace standin {
bool take_queued_message(MSG& message) {
    if (queue.posted.empty()) {
        taskbar_arrives_if_due();
        post_due_timers();
    }
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
bool wait_for_next_event() {
    std::optional<Clock::time_point> next = taskbar_arrival();
    for (const Timer& timer : queue.timers) {
        next = next ? std::min(*next, timer.due) : timer.due;
    }
    if (next) {
        std::this_thread::sleep_until(*next);
    }
    return next.has_value();
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
// Only timers that post WM_TIMER to a window; setting one again restarts it.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC procedure) {
    if (!IsWindow(window) || procedure != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    KillTimer(window, id);
    queue.timers.push_back(Timer{window, id, timer_interval(elapse_ms), Clock::now() + timer_interval(elapse_ms)});
    return id;
}
BOOL KillTimer(HWND window, UINT_PTR id) {
    const auto end = std::remove_if(queue.timers.begin(), queue.timers.end(),
                                    [=](const Timer& timer) { return timer.window == window && timer.id == id; });
    const bool found = end != queue.timers.end();
    queue.timers.erase(end, queue.timers.end());
    return found ? TRUE : FALSE;
}
// Only unfiltered retrieval, as the notifier does.
BOOL GetMessageW(MSG* message, HWND, UINT, UINT) {
    for (;;) {
        if (standin::take_queued_message(*message)) {
            return message->message == WM_QUIT ? FALSE : TRUE;
        }
        const auto action = standin::next_user_action();
        if (!action) {
            // The user does nothing: the balloon times out, if one is up; otherwise the program
            // sleeps until its next timer or the taskbar's arrival.
            if (standin::deliver_icon_action(standin::ActionKind::timeout) || standin::wait_for_next_event()) {
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
