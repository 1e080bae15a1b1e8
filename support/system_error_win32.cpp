// Win32 side of system error texts: the system's sentence for a GetLastError code.
#include "support/windows_api.hpp"

#include <exception>

#include "diagnostic_text.hpp"
#include "scoped_resource.hpp"
#include "system_error.hpp"
#include "text_conversion.hpp"
#include "windows_handles.hpp"

namespace checker {
namespace {

constexpr DWORD format_flags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;  // 0x1300
constexpr DWORD neutral_language = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);                    // 0x400

std::string format_message(uint32_t code) {
    wchar_t* text = nullptr;
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument receives the system's allocation.
    const DWORD length = FormatMessageW(format_flags, nullptr, code, neutral_language,
                                        reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    const DWORD format_error = GetLastError();
    const ScopedResource<LocalMemory<wchar_t*>> buffer(text);
    if (length == 0) {
        return "Cannot format code: [" + to_string(code) + "] into message, error code: [" +
               to_string(uint32_t{format_error}) + "]";
    }
    if (length <= 2) {
        return "code: [" + to_string(code) + "], message: []";
    }
    std::string message;
    try {
        // System sentences end in CR LF; the final full stop stays.
        message = narrow(reinterpret_cast<const char16_t*>(text), length - 2);
    } catch (const std::exception& failure) {
        return "Cannot format code: [" + to_string(code) + "] into message, narrow error: [" + failure.what() + "]";
    }
    return "code: [" + to_string(code) + "], message: [" + message + "]";
}

}  // namespace

std::string system_error_message(uint32_t code) {
    if (code == 0) {
        return std::string();
    }
    try {
        return format_message(code);
    } catch (...) {
        // Only memory exhaustion gets here; the caller's message goes out without the system text.
        return std::string();
    }
}

uint32_t last_system_error() { return static_cast<uint32_t>(GetLastError()); }

void set_last_system_error(uint32_t code) { SetLastError(static_cast<DWORD>(code)); }

}  // namespace checker
