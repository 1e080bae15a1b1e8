// The notification-area icon with its balloon: added when the hidden window is created, removed when it goes.
#pragma once

#include "notifier/win32_shell.hpp"

namespace notifier {

// The icon's events arrive at the hidden window as this message (WM_APP + 1).
constexpr UINT notification_callback_message = WM_APP + 1;

// Adds the icon and its balloon and asks for version 4 of the interface; false on any failure.
bool add_notification(HWND window);
// Removes the icon; the result is only traced.
bool delete_notification(HWND window);

}  // namespace notifier
