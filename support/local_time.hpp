// Platform seam for the local wall-clock time.
//
// Implemented by local_time_win32.cpp (_time64, _localtime64_s) and local_time_posix.cpp
// (time, localtime_r).
#pragma once

#include <ctime>

namespace checker {
namespace platform {

// The current local time broken down; all fields zero when the system cannot tell. Never throws.
std::tm local_time_now();

}  // namespace platform
}  // namespace checker
