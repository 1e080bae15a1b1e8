// The two process services both programs use: waiting, and the process's own id.
//
// Platform seam: process_posix.cpp (nanosleep, getpid) and process_win32.cpp (Sleep,
// GetCurrentProcessId). Neither throws.
#pragma once

#include <cstdint>

namespace checker {

void sleep_millis(uint32_t millis);
uint32_t current_process_id();

}  // namespace checker
