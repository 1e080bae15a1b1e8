// The thread's last error: GetLastError / SetLastError, the codes for errno values and the texts of the codes.
#include <cerrno>
#include <string>

#include "notifier/standin/internal.hpp"
#include "notifier/standin/standin_module.hpp"

namespace {
thread_local DWORD last_error = 0;
}  // namespace

DWORD GetLastError() {
    return last_error;
}
void SetLastError(DWORD code) {
    last_error = code;
}

namespace standin {
DWORD error_from_errno(int error_number) {
    switch (error_number) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    default: return ERROR_INVALID_DATA;
    }
}
std::string error_message(DWORD code) {
    if (code == 0) {
        return std::string();
    }
    const char* text = nullptr;
    switch (code) {
    case ERROR_FILE_NOT_FOUND: text = "The system cannot find the file specified."; break;
    case ERROR_PATH_NOT_FOUND: text = "The system cannot find the path specified."; break;
    case ERROR_ACCESS_DENIED: text = "Access is denied."; break;
    case ERROR_INVALID_HANDLE: text = "The handle is invalid."; break;
    case ERROR_INVALID_DATA: text = "The data is invalid."; break;
    case ERROR_INVALID_PARAMETER: text = "The parameter is incorrect."; break;
    case ERROR_INVALID_NAME: text = "The filename, directory name, or volume label syntax is incorrect."; break;
    case ERROR_TIMEOUT: text = "This operation returned because the timeout period expired."; break;
    case ERROR_ALREADY_EXISTS: text = "Cannot create a file when that file already exists."; break;
    case ERROR_INVALID_WINDOW_HANDLE: text = "Invalid window handle."; break;
    case ERROR_CANNOT_FIND_WND_CLASS: text = "Cannot find window class."; break;
    case ERROR_CLASS_ALREADY_EXISTS: text = "Class already exists."; break;
    case ERROR_RESOURCE_NAME_NOT_FOUND: text = "The specified resource name cannot be found in the image file."; break;
    default: break;
    }
    if (text == nullptr) {
        // What FormatMessageW reports for a code it has no text for: ERROR_MR_MID_NOT_FOUND.
        return "Cannot format code: [" + std::to_string(code) + "] into message, error code: [317]";
    }
    return "code: [" + std::to_string(code) + "], message: [" + text + "]";
}
}  // namespace standin
