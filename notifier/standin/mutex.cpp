// Named mutexes as existence markers: an exclusive lock on a file named after the mutex.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "notifier/standin/internal.hpp"
#include "support/scoped_resource.hpp"

namespace {
struct PosixDescriptor {
    using Value = int;
    static Value empty() noexcept { return -1; }
    static void close(Value value) noexcept { ::close(value); }
};
using FileDescriptor = checker::ScopedResource<PosixDescriptor>;
// The open mutex handles, each with its lock file open; the first handle of a name holds the lock.
std::vector<std::unique_ptr<FileDescriptor>> mutex_handles;
// The folder of the lock files: the user's runtime folder, else the temporary folder.
std::string lock_folder() {
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != 0) {
            return value;
        }
    }
    return "/tmp";
}
}  // namespace

// The initial-owner request is not modelled: the notifier uses the mutex only to see whether it
// already exists, so only named mutexes are. The lock lives while the first handle is open, in
// this process only (the file is opened close-on-exec, so programs started by ShellExecuteW do not
// keep it).
HANDLE CreateMutexW(SECURITY_ATTRIBUTES*, BOOL, LPCWSTR name) {
    const std::string name_text = standin::to_utf8(name);
    if (name_text.empty() || name_text.find_first_of("/\\") != std::string::npos || name_text == "." || name_text == "..") {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    const std::string path = lock_folder() + "/" + name_text;
    auto lock_file =
        std::make_unique<FileDescriptor>(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock_file->valid()) {
        SetLastError(standin::error_from_errno(errno));
        return nullptr;
    }
    DWORD outcome = ERROR_SUCCESS;
    if (flock(lock_file->get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            SetLastError(standin::error_from_errno(errno));
            return nullptr;
        }
        // Another handle holds the lock: the mutex exists; this handle refers to it.
        outcome = ERROR_ALREADY_EXISTS;
    }
    mutex_handles.push_back(std::move(lock_file));
    SetLastError(outcome);
    return mutex_handles.back().get();
}
BOOL CloseHandle(HANDLE handle) {
    const auto found = std::find_if(mutex_handles.begin(), mutex_handles.end(),
                                    [handle](const auto& owned) { return owned.get() == handle; });
    if (found == mutex_handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    mutex_handles.erase(found);
    return TRUE;
}
