// The owner trait of a POSIX file descriptor, for the POSIX side of the seams and the tests:
// ScopedResource<PosixDescriptor> closes its descriptor. Declared here and nowhere else.
#pragma once

#include <unistd.h>

namespace checker {

// An open file descriptor (a file, a socket, a lock file), -1 when empty.
struct PosixDescriptor {
    using Value = int;
    static Value empty() noexcept { return -1; }
    static void close(Value value) noexcept { ::close(value); }
};

}  // namespace checker
