// Platform seam for folders: the per-user data folder, directory creation, the program's path.
//
// Implemented by known_folders_win32.cpp (SHGetKnownFolderPath, CreateDirectoryW,
// GetModuleFileNameW) and known_folders_posix.cpp (XDG data folder, mkdir, /proc/self/exe).
// None of these functions throws except for memory exhaustion, and on Win32 a failed widen or
// narrow of the path, which propagates (the shell's buffer is released first).
#pragma once

#include <string>

namespace checker {
namespace platform {

// The user's local application-data folder, created (with missing parents) when it does not
// exist yet: FOLDERID_LocalAppData with KF_FLAG_CREATE on Windows; $XDG_DATA_HOME when it is an
// absolute path, else $HOME/.local/share on POSIX. UTF-8, either separator, with or without a
// trailing separator. false when no folder can be had.
bool local_data_folder(std::string& folder);

// Creates one directory (its parent must exist). An existing folder of that name counts as
// success; an existing file fails (ENOTDIR / ERROR_ALREADY_EXISTS). false on failure with
// last_system_error() set.
bool make_directory(const std::string& path);

// The full UTF-8 path of the running program file. false on failure with last_system_error() set.
bool program_file_path(std::string& path);

}  // namespace platform
}  // namespace checker
