// The update dialog with the download link, and the error dialog shown when the browser cannot start.
#pragma once

#include "notifier/win32_shell.hpp"

namespace notifier {

// Runs the update dialog, owned by the hidden window, until the user closes it.
void show_update_dialog(HWND window);
// Brings the open update dialog to the front; nothing when none is open.
void bring_update_dialog_to_front();

}  // namespace notifier
