// Win32 side of the text seam: the system's UTF-8 / UTF-16 conversion and _strtoi64.
#include "support/windows_api.hpp"

#include <cstdlib>

#include "utf_conversion.hpp"

namespace checker {
namespace platform {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 text is handed to the system as WCHAR");

constexpr std::size_t max_count = 2147483647;  // the system calls take a signed 32-bit length

// An output capacity as the system calls take it; larger buffers are used up to the limit.
int capacity(std::size_t output_size) {
    return static_cast<int>(output_size > max_count ? max_count : output_size);
}

// Rejects what the system calls would misread: no text, an oversized count, or a real buffer
// of size 0 (which the system takes as a request for the size).
bool usable_arguments(const void* text, std::size_t count, const void* output, std::size_t output_size) {
    if (text == nullptr || count == 0 || count > max_count) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (output != nullptr && output_size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    return true;
}

}  // namespace

std::size_t utf16_to_utf8(const char16_t* text, std::size_t count, char* output, std::size_t output_size) {
    if (!usable_arguments(text, count, output, output_size)) {
        return 0;
    }
    const int result = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWCH>(text), static_cast<int>(count),
                                           output, output != nullptr ? capacity(output_size) : 0, nullptr, nullptr);
    return result > 0 ? static_cast<std::size_t>(result) : 0;
}

std::size_t utf8_to_utf16(const char* text, std::size_t count, char16_t* output, std::size_t output_size) {
    if (!usable_arguments(text, count, output, output_size)) {
        return 0;
    }
    const int result = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(count), reinterpret_cast<LPWSTR>(output),
                                           output != nullptr ? capacity(output_size) : 0);
    return result > 0 ? static_cast<std::size_t>(result) : 0;
}

int64_t string_to_int64(const char* text, char** end, int base) {
    return _strtoi64(text, end, base);
}

}  // namespace platform
}  // namespace checker
