// The mark that one instance of the notifier runs: a named mutex on Windows, a locked file on POSIX.
//
// Platform seam: instance_mutex_win32.cpp (CreateMutexW) and instance_mutex_posix.cpp (an
// exclusive lock on a file named after the mutex in $XDG_RUNTIME_DIR, else $TMPDIR or /tmp,
// opened close-on-exec so that a browser started by the notifier does not keep it).
#pragma once

#include <memory>
#include <string>

namespace notifier {

// Holds the mark for as long as it lives.
class InstanceMutex {
public:
    InstanceMutex() = default;
    InstanceMutex(const InstanceMutex&) = delete;
    InstanceMutex& operator=(const InstanceMutex&) = delete;
    virtual ~InstanceMutex() = default;
    // True when another instance made the mark first.
    virtual bool another_instance_runs() const = 0;
};

// A mark that cannot be made leaves the run unguarded: it never reports another instance. Never
// throws but for a failed allocation.
std::unique_ptr<InstanceMutex> mark_instance(const std::u16string& name);

}  // namespace notifier
