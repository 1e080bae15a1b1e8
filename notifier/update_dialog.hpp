// The update dialog with the download link, and the error dialog shown when the browser cannot start.
#pragma once

#include "notifier/win32_shell.hpp"

namespace notifier {

// Shows the update dialog once per process (later calls are traced and ignored), then
// destroys the hidden window, which ends the run.
void show_update_dialog(HWND window);

}  // namespace notifier
