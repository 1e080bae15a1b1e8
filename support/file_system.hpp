// Platform seam for files: text-mode streams, exclusive creation, one-step replacement and the
// listing of a folder (namespace platform), and files and folders as a whole: whether a file is
// there, deleting it, removing an empty folder.
//
// Implemented by file_system_win32.cpp (_wfopen / CreateFileW, MoveFileExW, FindFirstFileW) and
// file_system_posix.cpp (a stream that translates line ends like the Windows C runtime). Paths
// are UTF-8; the Win32 side widens them. None of these functions throws, except that on Win32 a
// failed widen (memory exhaustion, a path beyond 2^31 units) propagates. Failures of delete_file
// and remove_directory are ignored (the callers clean up on a best-effort basis).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace checker {

// True for a regular file (not a folder).
bool file_exists(const std::string& path);
void delete_file(const std::string& path);
// Removes the folder only when it is empty.
void remove_directory(const std::string& path);

namespace platform {

// Opens path as a text stream: "r" reads with CR LF delivered as LF; "w" creates or
// truncates and writes every LF as CR LF. A directory is never opened. Returns null on
// failure with last_system_error() set.
std::FILE* open_text_stream(const std::string& path, const std::string& mode);

// Creates path for writing as a text stream (like "w"), failing when anything of that name
// exists already. When fclose on the stream succeeds, the data is on stable storage
// (fsync / FILE_FLAG_WRITE_THROUGH). Null on failure with last_system_error() set.
std::FILE* create_new_text_stream(const std::string& path);

// Whether a system error code means "a file of that name exists" (EEXIST / ERROR_FILE_EXISTS,
// ERROR_ALREADY_EXISTS).
bool is_already_exists_error(uint32_t code);

// Replaces the file `to` with the file `from` in one step, so a reader sees either the old or
// the new content (rename / MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
// false on failure with last_system_error() set; `to` is untouched then.
bool replace_file(const std::string& from, const std::string& to);

// A regular file found by list_files.
struct FolderFile {
    std::string name;     // the file's own name, without the folder
    int64_t age_seconds;  // now minus its last-write time; negative when that lies in the future
};

// The regular files directly in folder (no directories), in no particular order
// (readdir + stat / FindFirstFileW + GetSystemTimeAsFileTime). Empty when the folder cannot be read.
std::vector<FolderFile> list_files(const std::string& folder);

}  // namespace platform
}  // namespace checker
