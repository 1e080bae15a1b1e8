// One owner for every Win32 resource kind (handles, system-allocated buffers, CRT descriptors).
//
// A traits type names the value type, its empty value and its close function:
//     struct LocalMemory {
//         using Value = wchar_t*;
//         static Value empty() noexcept { return nullptr; }
//         static void close(Value value) noexcept { LocalFree(value); }
//     };
//     using LocalBuffer = ScopedResource<LocalMemory>;
// Closing keeps the thread's last error and errno as they were, so an owner released on a
// failure path never changes the code that the caller is about to report.
#pragma once

#include <cerrno>

#include "support/windows_api.hpp"

namespace checker {
namespace platform {

template <typename Traits>
class ScopedResource {
public:
    using Value = typename Traits::Value;

    ScopedResource() noexcept : value_(Traits::empty()) {}
    explicit ScopedResource(Value value) noexcept : value_(value) {}
    ~ScopedResource() { reset(); }

    ScopedResource(const ScopedResource&) = delete;
    ScopedResource& operator=(const ScopedResource&) = delete;
    ScopedResource(ScopedResource&& other) noexcept : value_(other.release()) {}
    ScopedResource& operator=(ScopedResource&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Value get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::empty(); }

    // Gives up ownership without closing.
    Value release() noexcept {
        const Value value = value_;
        value_ = Traits::empty();
        return value;
    }

    // Closes the owned value (if any) and takes the new one.
    void reset(Value value = Traits::empty()) noexcept {
        if (value_ != Traits::empty()) {
            const DWORD saved_error = GetLastError();
            const int saved_errno = errno;
            Traits::close(value_);
            errno = saved_errno;
            SetLastError(saved_error);
        }
        value_ = value;
    }

private:
    Value value_;
};

// A kernel object handle from CreateFileW and the like (INVALID_HANDLE_VALUE when empty).
struct KernelFileHandle {
    using Value = HANDLE;
    static Value empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Value value) noexcept { CloseHandle(value); }
};

// A buffer that the system allocated with LocalAlloc (FormatMessageW's output).
struct LocalMemory {
    using Value = wchar_t*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { LocalFree(value); }
};

}  // namespace platform
}  // namespace checker
