// Pieces that the stand-in's own files share; not part of the Win32 surface.
#pragma once

#include <optional>
#include <string>

#include "notifier/standin/win32_standin.hpp"
#include "support/text_conversion.hpp"

// A window of the stand-in: its procedure, and whether it is being destroyed.
struct HWND__ {
    WNDPROC procedure = nullptr;
    bool destroying = false;
};

namespace standin {

// The Win32 error code for an errno value of a failed file operation.
DWORD error_from_errno(int error_number);

// Whether a handle came from LoadIconW / LoadIconMetric, or from LoadImageW as a bitmap.
bool is_icon(const void* handle);
bool is_bitmap(const void* handle);

// A window outside any registered class (the task dialogs).
HWND create_internal_window(WNDPROC procedure);

// Writes one "standin: ..." line to standard error, so a person or a test sees what is shown.
void report(const std::string& line);

// The UTF-8 form of a terminated UTF-16 text; the empty text for null.
inline std::string to_utf8(const char16_t* text) {
    return text == nullptr ? std::string() : checker::narrow(std::u16string(text));
}

// Integer resource ids travel in the low word of a string pointer, as MAKEINTRESOURCEW makes them.
inline bool is_resource_id(const void* name) {
    return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

bool module_has_icon(HINSTANCE instance, UINT id);

enum class ActionKind { select, balloon, context, key, timeout, expand, cancel, link, close, sleep };

struct UserAction {
    ActionKind kind;
    int link_number;  // for link: which visible link, counted from 1
    std::string text;  // the action as written, for reports
};

// The next action of NOTIFIER_USER_ACTIONS, or none when the list is unset or used up.
std::optional<UserAction> next_user_action();

bool is_icon_action(ActionKind kind);
// Posts the icon event of a select / balloon / context / key / timeout action to the icon's
// window; false when no icon (or no balloon, for balloon and timeout) can produce it.
bool deliver_icon_action(ActionKind kind);

// The front posted message, or WM_QUIT once the queue is empty after PostQuitMessage.
bool take_queued_message(MSG& message);

}  // namespace standin
