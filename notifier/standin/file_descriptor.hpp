// The owner of a POSIX file descriptor, for the files the stand-in opens (bitmaps, mutex lock files).
#pragma once

#include <cerrno>

#include <unistd.h>

namespace standin {

// Closing keeps the thread's errno, so a failure path can still report why it failed.
class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
    ~FileDescriptor() {
        if (descriptor_ >= 0) {
            const int saved = errno;
            close(descriptor_);
            errno = saved;
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return descriptor_; }
    bool valid() const { return descriptor_ >= 0; }

private:
    int descriptor_;
};

}  // namespace standin
