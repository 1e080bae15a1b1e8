// The owner of a POSIX file descriptor, for the files the stand-in opens (bitmaps, mutex lock files).
#pragma once

#include <unistd.h>

#include "support/scoped_resource.hpp"

namespace standin {

struct PosixDescriptor {
    using Value = int;
    static Value empty() noexcept { return -1; }
    static void close(Value value) noexcept { ::close(value); }
};

// Closing keeps errno, so a failure path can still report why it failed.
using FileDescriptor = checker::ScopedResource<PosixDescriptor>;

}  // namespace standin
