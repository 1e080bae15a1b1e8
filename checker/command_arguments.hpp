// The program's arguments as UTF-8 texts, before the command-line parser sees them.
//
// Platform seam: command_arguments_win32.cpp reads the wide command line (GetCommandLineW,
// CommandLineToArgvW), since main's arguments come in the ANSI code page, which cannot hold
// every path; command_arguments_posix.cpp takes main's arguments as they are. The Win32 side
// may throw what narrow throws (memory exhaustion).
#pragma once

#include <string>
#include <vector>

namespace checker {

std::vector<std::string> command_arguments(int argc, char** argv);

}  // namespace checker
