// The mark that one instance of the notifier runs: a named mutex on Windows, a locked file on POSIX.
//
// Platform seam: instance_mutex_win32.cpp (CreateMutexW) and instance_mutex_posix.cpp (an
// exclusive lock on a file named after the mutex in $XDG_RUNTIME_DIR, else $TMPDIR or /tmp,
// opened close-on-exec so that a browser started by the notifier does not keep it).
#pragma once

#include <string>

namespace notifier {

// Marks that this instance runs under `name` until the process ends; true when another instance
// made the mark first. A mark that cannot be made leaves the run unguarded (false). Never throws
// but for a failed allocation.
bool another_instance_runs(const std::u16string& name);

}  // namespace notifier
