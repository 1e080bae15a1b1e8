// Platform seam for system errors: the calling thread's last error code and the system's text
// for a code.
//
// Implemented by system_error_win32.cpp (GetLastError / SetLastError, FormatMessageW) and
// system_error_posix.cpp (errno, strerror_r). None of these functions throws.
#pragma once

#include <cstdint>
#include <string>

namespace checker {

// "code: [N], message: [text]" for a system error code (GetLastError on Windows,
// errno on POSIX); 0 gives the empty text.
std::string system_error_message(uint32_t code);

// The calling thread's last system error code (GetLastError / errno), and setting it back.
uint32_t last_system_error();
void set_last_system_error(uint32_t code);

}  // namespace checker
