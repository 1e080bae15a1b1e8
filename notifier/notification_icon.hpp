// The notification-area icon with its balloon: prepared once, shown again after a taskbar (re)start, removed at the end.
#pragma once

#include "notifier/win32_shell.hpp"

namespace notifier {

// The icon's events arrive at the hidden window as this message (WM_APP + 1).
constexpr UINT notification_callback_message = WM_APP + 1;

// How an icon request reaches the shell.
enum class IconRequest {
    add,            // the first add
    check_and_add,  // a retry: an add that timed out may have landed, so NIM_MODIFY is tried first
    add_again,      // after "TaskbarCreated": the old icon is deleted (whatever the result), then added
};

// Loads the icon, the balloon picture and the texts for the window; false on any failure, which
// no retry mends.
bool prepare_notification(HWND window);
// Hands the prepared icon to the shell and asks for version 4 of the interface; with_balloon
// false leaves the balloon out. False when the shell refused; the last error tells why.
bool show_notification(IconRequest request, bool with_balloon);
// Removes the icon; the result is only traced.
bool delete_notification();
// Releases the icon handles taken by prepare_notification.
void release_notification() noexcept;

}  // namespace notifier
