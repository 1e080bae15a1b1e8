// Win32 side of the error boxes: SetErrorMode, and where the C runtime writes abort's message.
#include "support/windows_api.hpp"

#include <cstdlib>

#include "checker/error_boxes.hpp"

namespace checker {

void turn_off_error_boxes() noexcept {
    // No box for a drive that is not ready, and no Windows Error Reporting box after a crash.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    // The C runtime linked here is msvcrt.dll, which has no _set_abort_behavior (that came with
    // the Visual C++ 2005 runtime): its abort shows the "Runtime Error" box in a GUI-subsystem
    // program unless the error mode sends the message to the standard error stream instead.
    _set_error_mode(_OUT_TO_STDERR);
}

}  // namespace checker
