// The notifier's run: tracing switch, single-instance guard, GO/NOGO decision, hidden window, message loop.
#pragma once

#include <string>

#include "notifier/win32_shell.hpp"

namespace notifier {

// The whole run; takes the module instance handle and returns the exit status.
int run_notifier(HINSTANCE instance);

// True when the command line is at least two characters long and ends in "-v".
bool tracing_requested(const std::u16string& command_line);

// Loads version.json and the shipped version and fills the texts of the notifier state;
// true (GO) when the stored version_number is greater. Any failure gives false.
bool decide_mode() noexcept;

// Writes the trace to trace.json when tracing is on; failures are swallowed.
void write_trace_file() noexcept;

}  // namespace notifier
