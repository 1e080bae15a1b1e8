// The instance mark on POSIX: an exclusive lock on a file named after the mutex, held while the file is open.
#include "notifier/instance_mutex.hpp"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "support/posix_handles.hpp"
#include "support/scoped_resource.hpp"
#include "support/text_conversion.hpp"

namespace notifier {
namespace {

// The folder of the lock files: the user's runtime folder, else the temporary folder.
std::string lock_folder() {
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        if (const char* value = std::getenv(variable); value != nullptr && *value != 0) {
            return value;
        }
    }
    return "/tmp";
}

}  // namespace

bool another_instance_runs(const std::u16string& name) {
    const std::string file_name = checker::narrow(name);
    if (file_name.empty() || file_name.find('/') != std::string::npos || file_name == "." || file_name == "..") {
        return false;
    }
    // Held until the process ends.
    static checker::ScopedResource<checker::PosixDescriptor> lock_file;
    lock_file.reset(open((lock_folder() + "/" + file_name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    // Another process holds the lock: the mark exists.
    return lock_file.valid() && flock(lock_file.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

}  // namespace notifier
