// The notifier's command line, the way the platform gives it.
//
// Platform seam: command_line_win32.cpp (GetCommandLineW) and command_line_posix.cpp
// (/proc/self/cmdline, its arguments joined by single blanks). Neither throws but for a failed allocation.
#pragma once

#include <string>

namespace notifier {

std::u16string process_command_line();

}  // namespace notifier
