// Named mutexes as existence markers: an exclusive lock on a file named after the mutex.
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "notifier/standin/internal.hpp"

namespace {

// One open handle; a named one holds its lock file's descriptor.
struct KernelObject {
    std::unique_ptr<standin::FileDescriptor> lock_file;
};

std::vector<std::unique_ptr<KernelObject>> kernel_objects;

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

HANDLE keep(std::unique_ptr<KernelObject> object) {
    kernel_objects.push_back(std::move(object));
    return kernel_objects.back().get();
}

}  // namespace

// The initial-owner request is not modelled: the notifier uses the mutex only to see whether it
// already exists. The lock lives while this handle is open, in this process only (the file is
// opened close-on-exec, so programs started by ShellExecuteW do not keep it).
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR name) {
    auto object = std::make_unique<KernelObject>();
    if (name == nullptr) {
        SetLastError(ERROR_SUCCESS);
        return keep(std::move(object));
    }
    const std::string name_text = standin::to_utf8(name);
    if (name_text.empty() || name_text.find_first_of("/\\") != std::string::npos || name_text == "." || name_text == "..") {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    const std::string path = lock_folder() + "/" + name_text;
    object->lock_file = std::make_unique<standin::FileDescriptor>(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!object->lock_file->valid()) {
        SetLastError(standin::error_from_errno(errno));
        return nullptr;
    }
    if (flock(object->lock_file->get(), LOCK_EX | LOCK_NB) == 0) {
        SetLastError(ERROR_SUCCESS);
        return keep(std::move(object));
    }
    if (errno == EWOULDBLOCK) {
        // Another handle holds the lock: the mutex exists; this handle refers to it.
        object->lock_file.reset();
        SetLastError(ERROR_ALREADY_EXISTS);
        return keep(std::move(object));
    }
    SetLastError(standin::error_from_errno(errno));
    return nullptr;
}

BOOL CloseHandle(HANDLE handle) {
    for (auto object = kernel_objects.begin(); object != kernel_objects.end(); ++object) {
        if (object->get() == handle) {
            kernel_objects.erase(object);
            return TRUE;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
