// The hidden window's procedure: ties the window's life to the icon and turns icon events into the dialog.
#pragma once

#include "notifier/win32_shell.hpp"

namespace notifier {

LRESULT CALLBACK notifier_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace notifier
