// The notifier's run: tracing switch, single-instance guard, GO/NOGO decision, hidden window, message loop.
#pragma once

#include "notifier/win32_shell.hpp"

namespace notifier {

// The whole run; takes the module instance handle and returns the exit status.
int run_notifier(HINSTANCE instance);

}  // namespace notifier
