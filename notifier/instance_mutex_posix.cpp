// The instance mark on POSIX: an exclusive lock on a file named after the mutex, held while the file is open.
#include "notifier/instance_mutex.hpp"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "support/scoped_resource.hpp"
#include "support/text_conversion.hpp"

namespace notifier {
namespace {

struct PosixDescriptor {
    using Value = int;
    static Value empty() noexcept { return -1; }
    static void close(Value value) noexcept { ::close(value); }
};

// The folder of the lock files: the user's runtime folder, else the temporary folder.
std::string lock_folder() {
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        if (const char* value = std::getenv(variable); value != nullptr && *value != 0) {
            return value;
        }
    }
    return "/tmp";
}

class LockFile final : public InstanceMutex {
public:
    explicit LockFile(const std::string& name) {
        if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
            return;
        }
        const std::string path = lock_folder() + "/" + name;
        file_.reset(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
        // Another process holds the lock: the mark exists.
        another_ = file_.valid() && flock(file_.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    }
    bool another_instance_runs() const override { return another_; }

private:
    checker::ScopedResource<PosixDescriptor> file_;
    bool another_ = false;
};

}  // namespace

std::unique_ptr<InstanceMutex> mark_instance(const std::u16string& name) {
    return std::make_unique<LockFile>(checker::narrow(name));
}

}  // namespace notifier
