// Win32 side of the folder seam: the known local application-data folder, CreateDirectoryW and
// the module's file name.
#include "support/windows_api.hpp"

#include <cwchar>

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include "known_folders.hpp"
#include "paths.hpp"
#include "scoped_resource.hpp"
#include "text_conversion.hpp"
#include "windows_handles.hpp"

namespace checker {
namespace platform {
namespace {

constexpr DWORD module_path_capacity = MAX_PATH;  // 260 UTF-16 units

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace

bool local_data_folder(std::string& folder) {
    PWSTR path = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &path);
    // The buffer is the caller's to free whatever the result, and also when narrow throws.
    const ScopedResource<TaskMemory> buffer(path);
    if (result != S_OK || path == nullptr) {
        return false;
    }
    folder = narrow(reinterpret_cast<const char16_t*>(path), std::wcslen(path));
    return true;
}

bool make_directory(const std::string& path) {
    const std::u16string wide_path = widen(path);
    if (CreateDirectoryW(wide(wide_path), nullptr) != 0) {
        return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    // A file of that name is no folder: nothing could be created below it.
    const DWORD attributes = GetFileAttributesW(wide(wide_path));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return true;
    }
    SetLastError(ERROR_ALREADY_EXISTS);
    return false;
}

bool program_file_path(std::string& path) {
    wchar_t buffer[module_path_capacity] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, module_path_capacity);
    if (length == 0) {
        return false;
    }
    // A full buffer means the system cut the path; a cut path would name some other file.
    if (length >= module_path_capacity) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    path = narrow(reinterpret_cast<const char16_t*>(buffer), length);
    return true;
}

}  // namespace platform

}  // namespace checker
