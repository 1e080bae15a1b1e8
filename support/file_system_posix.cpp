// POSIX side of the file seam: streams with Windows text-mode line ends, and file operations.
//
// The Windows C runtime turns LF into CR LF when writing a text stream and CR LF into LF when
// reading one, and stops reading at a Ctrl-Z byte. These streams do the same through
// fopencookie, so a file written here is byte-identical to one written by the Windows build and
// read limits count the same bytes on both systems.
#include <cerrno>
#include <cstddef>
#include <ctime>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_system.hpp"
#include "posix_handles.hpp"
#include "scoped_resource.hpp"

namespace checker {
namespace platform {
namespace {

constexpr unsigned char ctrl_z = 0x1A;

struct DirectoryListing {
    using Value = DIR*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { ::closedir(value); }
};

// State of one text stream; owned by the FILE from fopencookie on, freed by its close function.
struct TextStream {
    int fd = -1;
    bool sync_on_close = false;
    bool end_seen = false;  // end of file or Ctrl-Z: nothing more is delivered
    unsigned char raw[4096] = {};
    std::size_t raw_begin = 0;
    std::size_t raw_end = 0;
};

enum : int { peek_end = -1, peek_error = -2 };

// The next raw byte without consuming it, refilling from the descriptor as needed.
int peek_raw(TextStream& stream) {
    if (stream.raw_begin == stream.raw_end) {
        ssize_t count = 0;
        do {
            count = ::read(stream.fd, stream.raw, sizeof stream.raw);
        } while (count < 0 && errno == EINTR);
        if (count < 0) {
            return peek_error;
        }
        if (count == 0) {
            return peek_end;
        }
        stream.raw_begin = 0;
        stream.raw_end = static_cast<std::size_t>(count);
    }
    return stream.raw[stream.raw_begin];
}

ssize_t read_text(void* cookie, char* buffer, std::size_t size) {
    TextStream& stream = *static_cast<TextStream*>(cookie);
    std::size_t delivered = 0;
    while (delivered < size && !stream.end_seen) {
        const int byte = peek_raw(stream);
        if (byte == peek_error) {
            return -1;
        }
        if (byte == peek_end || byte == ctrl_z) {
            stream.end_seen = true;
            break;
        }
        ++stream.raw_begin;
        if (byte == '\r') {
            // Only a CR directly followed by LF collapses; the LF may arrive with the next block.
            const int next = peek_raw(stream);
            if (next == peek_error) {
                return -1;
            }
            if (next == '\n') {
                ++stream.raw_begin;
                buffer[delivered++] = '\n';
                continue;
            }
        }
        buffer[delivered++] = static_cast<char>(byte);
    }
    return static_cast<ssize_t>(delivered);
}

bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t count = ::write(fd, data, size);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += count;
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

// Returns the input bytes whose translation reached the file; fewer than size marks the stream
// failed, with errno from the system call.
ssize_t write_text(void* cookie, const char* buffer, std::size_t size) {
    TextStream& stream = *static_cast<TextStream*>(cookie);
    char translated[8192];
    std::size_t consumed = 0;
    while (consumed < size) {
        std::size_t used = 0;
        std::size_t taken = 0;
        while (consumed + taken < size && used + 2 <= sizeof translated) {
            const char byte = buffer[consumed + taken++];
            if (byte == '\n') {
                translated[used++] = '\r';
            }
            translated[used++] = byte;
        }
        if (!write_all(stream.fd, translated, used)) {
            return static_cast<ssize_t>(consumed);
        }
        consumed += taken;
    }
    return static_cast<ssize_t>(consumed);
}

int close_text(void* cookie) {
    std::unique_ptr<TextStream> stream(static_cast<TextStream*>(cookie));
    int result = 0;
    int first_errno = 0;
    if (stream->sync_on_close && ::fsync(stream->fd) != 0) {
        result = -1;
        first_errno = errno;
    }
    if (::close(stream->fd) != 0 && result == 0) {
        result = -1;
        first_errno = errno;
    }
    if (result != 0) {
        errno = first_errno;
    }
    return result;
}

std::FILE* open_stream(const std::string& path, int flags, bool for_reading, bool sync_on_close) {
    ScopedResource<PosixDescriptor> fd(::open(path.c_str(), flags | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
        return nullptr;
    }
    // Windows refuses to open a directory as a file; reading one here would fail only later.
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        return nullptr;
    }
    if (S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        return nullptr;
    }
    std::unique_ptr<TextStream> stream(new (std::nothrow) TextStream());
    if (!stream) {
        errno = ENOMEM;
        return nullptr;
    }
    stream->fd = fd.get();
    stream->sync_on_close = sync_on_close;
    cookie_io_functions_t functions{};
    if (for_reading) {
        functions.read = read_text;
    } else {
        functions.write = write_text;
    }
    functions.close = close_text;
    std::FILE* file = fopencookie(stream.get(), for_reading ? "r" : "w", functions);
    if (file == nullptr) {
        return nullptr;
    }
    // From here the stream owns both; close_text releases them.
    static_cast<void>(stream.release());
    fd.release();
    return file;
}

}  // namespace

std::FILE* open_text_stream(const std::string& path, const std::string& mode) {
    if (mode == "r") {
        return open_stream(path, O_RDONLY, true, false);
    }
    if (mode == "w") {
        return open_stream(path, O_WRONLY | O_CREAT | O_TRUNC, false, false);
    }
    errno = EINVAL;
    return nullptr;
}

std::FILE* create_new_text_stream(const std::string& path) {
    return open_stream(path, O_WRONLY | O_CREAT | O_EXCL, false, true);
}

bool is_already_exists_error(uint32_t code) { return code == EEXIST; }

bool replace_file(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

std::vector<FolderFile> list_files(const std::string& folder) {
    std::vector<FolderFile> files;
    const ScopedResource<DirectoryListing> listing(::opendir(folder.c_str()));
    if (!listing.valid()) {
        return files;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(listing.get())) {
        struct stat status {};
        if (::fstatat(::dirfd(listing.get()), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode)) {
            files.push_back(FolderFile{entry->d_name, static_cast<int64_t>(now - status.st_mtime)});
        }
    }
    return files;
}

}  // namespace platform

bool file_exists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

void delete_file(const std::string& path) { ::unlink(path.c_str()); }

void remove_directory(const std::string& path) { ::rmdir(path.c_str()); }

}  // namespace checker
