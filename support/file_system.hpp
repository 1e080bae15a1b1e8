// Files and folders as a whole: whether a file is there, deleting it, removing an empty folder.
//
// Made by file_system_posix.cpp and file_system_win32.cpp, beside the seam of platform_files.hpp.
// Failures of delete_file and remove_directory are ignored (the callers clean up on a best-effort
// basis); on Win32 a failed widen (memory exhaustion) propagates from all three.
#pragma once

#include <string>

namespace checker {

// True for a regular file (not a folder).
bool file_exists(const std::string& path);
void delete_file(const std::string& path);
// Removes the folder only when it is empty.
void remove_directory(const std::string& path);

}  // namespace checker
