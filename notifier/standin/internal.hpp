// Pieces that the stand-in's own files share; not part of the Win32 surface.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "notifier/standin/win32_standin.hpp"
#include "support/text_conversion.hpp"

// A window of the stand-in: its procedure, whether it is top-level (not message-only), its title
// for reports, and whether it is being destroyed.
struct HWND__ {
    WNDPROC procedure = nullptr;
    bool top_level = false;
    std::string title;
    bool destroying = false;
};

namespace standin {
// The Win32 error code for an errno value of a failed file operation.
DWORD error_from_errno(int error_number);
// Whether a handle is a live icon, or a live bitmap.
bool is_icon(const void* handle);
bool is_bitmap(const void* handle);
// A top-level window outside any registered class (the task dialogs).
HWND create_internal_window(WNDPROC procedure, const std::string& title);
// Posts a message to every top-level window, as a broadcast does.
void post_to_top_level_windows(UINT message);
// Writes one "standin: ..." line to standard error, so a person or a test sees what is shown.
inline void report(const std::string& line) {
    std::fprintf(stderr, "standin: %s\n", line.c_str());
    std::fflush(stderr);
}

// The UTF-8 form of a terminated UTF-16 text; the empty text for null.
inline std::string to_utf8(const char16_t* text) {
    return text == nullptr ? std::string() : checker::narrow(std::u16string(text));
}

// Integer resource ids travel in the low word of a string pointer, as MAKEINTRESOURCEW makes them.
inline bool is_resource_id(const void* name) {
    return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

bool module_has_icon(HINSTANCE instance, UINT id);
enum class ActionKind { select, balloon, context, key, timeout, taskbar_restart, expand, cancel, link, close, sleep };
// link_number: for link, which visible link, counted from 1; text: the action as written, for reports.
struct UserAction { ActionKind kind; int link_number; std::string text; };

// The next action of NOTIFIER_USER_ACTIONS, or none when the list is unset or used up.
std::optional<UserAction> next_user_action();
bool is_icon_action(ActionKind kind);
// Posts the icon event of a select / balloon / context / key / timeout action to the icon's
// window, or restarts the taskbar; false when no icon (or no balloon, for balloon and timeout)
// can produce it.
bool deliver_icon_action(ActionKind kind);
// When the late taskbar appears (NOTIFIER_TASKBAR_DELAY_MS), if it is still to come.
std::optional<std::chrono::steady_clock::time_point> taskbar_arrival();
// Creates the late taskbar once its time has come.
void taskbar_arrives_if_due();
// The front posted message (timers that are due and the taskbar's arrival post theirs first),
// or WM_QUIT once the queue is empty after PostQuitMessage.
bool take_queued_message(MSG& message);
// Sleeps until the next timer or the taskbar's arrival is due; false when nothing is to come.
bool wait_for_next_event();
}  // namespace standin
