// The notifier's run: tracing switch, single-instance guard, GO/NOGO decision, the notice on the desktop.
#pragma once

#include <string>

namespace notifier {

// The whole run on the process's command line; returns the exit status.
int run_notifier(const std::u16string& command_line);

}  // namespace notifier
