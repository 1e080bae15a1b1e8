// The notifier's run: tracing switch, single-instance guard, GO/NOGO decision, the notice on the desktop.
#pragma once

namespace notifier {

// The whole run; returns the exit status.
int run_notifier();

}  // namespace notifier
