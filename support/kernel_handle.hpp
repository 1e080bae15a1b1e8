// The owner traits of a Windows kernel object handle (a thread, an event), for the Win32 side of
// the seams: ScopedResource<KernelHandle> closes it with CloseHandle.
#pragma once

#include "support/windows_api.hpp"

namespace checker {

struct KernelHandle {
    using Value = HANDLE;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { CloseHandle(value); }
};

}  // namespace checker
