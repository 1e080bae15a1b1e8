// The boxes that the system and the C runtime would show when the program fails: checkerw runs
// from a scheduled task on the user's desktop, where a box would stay until the task's time limit.
//
// Platform seam: error_boxes_win32.cpp turns off the system's critical-error and crash boxes
// (SetErrorMode) and the C runtime's abort box; error_boxes_posix.cpp has nothing to turn off.
#pragma once

namespace checker {

// Called first in main, before anything can fail.
void turn_off_error_boxes() noexcept;

}  // namespace checker
