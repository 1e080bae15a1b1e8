// One owner for every C resource kind: handles, descriptors, library objects, system buffers.
//
// A traits type names the value type, its empty value and its close function:
//     struct RegistryKey {
//         using Value = HKEY;
//         static Value empty() noexcept { return nullptr; }
//         static void close(Value value) noexcept { RegCloseKey(value); }
//     };
//     const ScopedResource<RegistryKey> key(opened);
// The traits of Windows handles and system buffers are all in windows_handles.hpp; those of a
// library's objects sit beside the code that uses the library (curl_owners.hpp, json_helpers.hpp).
// Copying is not possible; moving empties the source. Closing keeps errno and the system's last
// error as they were, so an owner released on a failure path never changes the code that the
// caller is about to report.
#pragma once

#include <cerrno>

#include "system_error.hpp"

namespace checker {

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
            const uint32_t saved_error = last_system_error();
            const int saved_errno = errno;
            Traits::close(value_);
            errno = saved_errno;
            set_last_system_error(saved_error);
        }
        value_ = value;
    }

private:
    Value value_;
};

}  // namespace checker
