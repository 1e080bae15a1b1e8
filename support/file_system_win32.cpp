// Win32 side of the file seam: C runtime text streams on UTF-16 paths, and file operations.
#include "support/windows_api.hpp"

#include <cerrno>
#include <exception>

#include <fcntl.h>
#include <io.h>

#include "file_system.hpp"
#include "scoped_resource.hpp"
#include "text_conversion.hpp"
#include "windows_handles.hpp"

namespace checker {
namespace platform {
namespace {

// FILETIME counts 100-nanosecond intervals.
constexpr int64_t file_time_units_per_second = 10000000;

int64_t file_time_value(const FILETIME& time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

// MoveFileExW is retried this long while a reader still has the target open.
constexpr DWORD replace_retry_millis = 1000;
constexpr DWORD replace_retry_step_millis = 50;

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// The error of a failed C runtime call as a system code: the runtime keeps the system's code in
// _doserrno when a system call failed, and only an errno otherwise.
void set_last_error_from_runtime(DWORD fallback) {
    const DWORD code = static_cast<DWORD>(_doserrno);
    SetLastError(code != 0 ? code : fallback);
}

}  // namespace

std::FILE* open_text_stream(const std::string& path, const std::string& mode) {
    const std::u16string wide_path = widen(path);
    const std::u16string wide_mode = widen(mode);
    SetLastError(0);
    _doserrno = 0;
    // No "b" in the mode: the runtime's default translation mode is text.
    std::FILE* file = _wfopen(wide(wide_path), wide(wide_mode));
    if (file == nullptr && GetLastError() == 0) {
        set_last_error_from_runtime(0);
    }
    return file;
}

// msvcrt has no exclusive-create mode letter, so the file is created by the system first and the
// stream is put on top of it; each step owns the file until the next one has taken it over.
std::FILE* create_new_text_stream(const std::string& path) {
    const std::u16string wide_path = widen(path);
    ScopedResource<KernelFileHandle> handle(CreateFileW(wide(wide_path), GENERIC_WRITE,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!handle.valid()) {
        return nullptr;
    }
    _doserrno = 0;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_TEXT | _O_WRONLY);
    if (fd == -1) {
        set_last_error_from_runtime(ERROR_TOO_MANY_OPEN_FILES);
        return nullptr;
    }
    handle.release();
    ScopedResource<CrtDescriptor> descriptor(fd);
    std::FILE* file = _fdopen(fd, "wt");
    if (file == nullptr) {
        SetLastError(errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_TOO_MANY_OPEN_FILES);
        return nullptr;
    }
    descriptor.release();
    return file;
}

bool is_already_exists_error(uint32_t code) { return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS; }

// A reader that has the target open (without delete sharing, as _wfopen opens it) makes the
// replacement fail with access denied or a sharing violation until it closes the file, which
// takes a moment at most; other failures are final.
bool replace_file(const std::string& from, const std::string& to) {
    const std::u16string wide_from = widen(from);
    const std::u16string wide_to = widen(to);
    for (DWORD waited = 0;; waited += replace_retry_step_millis) {
        if (MoveFileExW(wide(wide_from), wide(wide_to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD code = GetLastError();
        if ((code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION) || waited >= replace_retry_millis) {
            return false;
        }
        Sleep(replace_retry_step_millis);
    }
}

std::vector<FolderFile> list_files(const std::string& folder) {
    std::vector<FolderFile> files;
    try {
        const bool has_separator = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
        const std::u16string pattern = widen(folder + (has_separator ? "*" : "\\*"));
        WIN32_FIND_DATAW entry{};
        const ScopedResource<FindHandle> search(FindFirstFileW(wide(pattern), &entry));
        if (!search.valid()) {
            return files;
        }
        FILETIME now_time{};
        GetSystemTimeAsFileTime(&now_time);
        const int64_t now = file_time_value(now_time);
        do {
            // Regular files only, as on POSIX: no directories and no links.
            if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
                const std::u16string name(reinterpret_cast<const char16_t*>(entry.cFileName));
                const int64_t age = (now - file_time_value(entry.ftLastWriteTime)) / file_time_units_per_second;
                files.push_back(FolderFile{narrow(name), age});
            }
        } while (FindNextFileW(search.get(), &entry));
    } catch (const std::exception&) {
        files.clear();
    }
    return files;
}

}  // namespace platform

bool file_exists(const std::string& path) {
    const std::u16string wide_path = widen(path);
    const DWORD attributes = GetFileAttributesW(platform::wide(wide_path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// These two report nothing, and a path that cannot even be converted names nothing to remove;
// they also run from destructors, so they never throw.
void delete_file(const std::string& path) {
    try {
        DeleteFileW(platform::wide(widen(path)));
    } catch (const std::exception&) {
    }
}

void remove_directory(const std::string& path) {
    try {
        RemoveDirectoryW(platform::wide(widen(path)));
    } catch (const std::exception&) {
    }
}

}  // namespace checker
