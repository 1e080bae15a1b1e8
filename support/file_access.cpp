// FileHandle, opening text streams, and the read/write callbacks handed to jansson.
#include "file_access.hpp"

#include <cerrno>
#include <cstring>

#include "checker_exception.hpp"
#include "diagnostic_text.hpp"
#include "file_system.hpp"
#include "system_error.hpp"

namespace checker {

namespace {

// The C runtime's text for an errno value.
std::string errno_text(int error) { return std::strerror(error); }

}  // namespace

// The handle owns the stream from the call on, also when construction throws.
FileHandle::FileHandle(const std::string& path, std::FILE* file, uint32_t read_limit) try
    : path_(path), file_(file), read_limit_(read_limit) {
    if (file_ == nullptr) {
        throw CheckerException("Invalid 'null' FILE specified");
    }
} catch (...) {
    if (file != nullptr) {
        std::fclose(file);
    }
}

FileHandle::~FileHandle() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void FileHandle::record_error(const std::string& text) {
    append_failure_line(error_text_, text);
}

bool FileHandle::close() {
    if (file_ == nullptr) {
        return true;
    }
    // fclose flushes the stream's buffer, so a write that failed there (a full disk) shows here.
    const bool closed = std::fclose(file_) == 0;
    const int error = errno;
    file_ = nullptr;
    if (!closed) {
        record_error("'close' error: [" + errno_text(error) + "], filepath: [" + path_ + "]");
    }
    return closed;
}

FileHandle open_file(const std::string& path, const std::string& mode, uint32_t read_limit) {
    std::FILE* file = platform::open_text_stream(path, mode);
    if (file == nullptr) {
        const uint32_t code = last_system_error();
        throw CheckerException("Cannot open file: [" + path + "], with mode: [" + mode + "], error: [" +
                               system_error_message(code) + "]");
    }
    return FileHandle(path, file, read_limit);
}

std::size_t read_callback(void* buffer, std::size_t buffer_length, void* data) {
    constexpr std::size_t failure = static_cast<std::size_t>(-1);
    if (data == nullptr) {
        return failure;
    }
    FileHandle& handle = *static_cast<FileHandle*>(data);
    try {
        if (buffer == nullptr) {
            handle.record_error("'null' buffer specified for 'read', filepath: [" + handle.path() + "]");
            return failure;
        }
        if (std::feof(handle.file())) {
            return 0;
        }
        const std::size_t count = std::fread(buffer, 1, buffer_length, handle.file());
        const int error = errno;
        if (count == buffer_length || std::feof(handle.file())) {
            handle.add_bytes_read(count);
            if (handle.bytes_read() <= handle.read_limit()) {
                return count;
            }
            handle.record_error("Read limit exceeded: [" + to_string(handle.read_limit()) + "], filepath: [" +
                                handle.path() + "]");
            return failure;
        }
        handle.record_error("'read' error: [" + errno_text(error) + "], filepath: [" + handle.path() + "]");
        return failure;
    } catch (...) {
        return failure;
    }
}

int write_callback(const char* buffer, std::size_t size, void* data) {
    if (data == nullptr) {
        return -1;
    }
    FileHandle& handle = *static_cast<FileHandle*>(data);
    try {
        if (buffer == nullptr) {
            handle.record_error("'null' buffer specified for 'write', filepath: [" + handle.path() + "]");
            return -1;
        }
        if (std::fwrite(buffer, 1, size, handle.file()) == size) {
            return 0;
        }
        const int error = errno;
        handle.record_error("'write' error: [" + errno_text(error) + "], filepath: [" + handle.path() + "]");
        return -1;
    } catch (...) {
        return -1;
    }
}

}  // namespace checker
