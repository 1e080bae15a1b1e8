// Platform seam for text: UTF-8 / UTF-16 conversion and signed 64-bit number conversion.
//
// Implemented by utf_conversion_win32.cpp (WideCharToMultiByte / MultiByteToWideChar with
// CP_UTF8 and flags 0, _strtoi64) and utf_conversion_posix.cpp (a small codec of our own that
// follows the same rules, strtoll). None of these functions throws.
#pragma once

#include <cstddef>
#include <cstdint>

namespace checker {
namespace platform {

// Converts count UTF-16 units (1 <= count) to UTF-8. With a null output only the needed byte
// count is computed; otherwise at most output_size bytes are written. Returns the bytes written
// (or needed); 0 on failure, with last_system_error() telling why (a count above INT32_MAX, or
// an output too small). Embedded NULs are converted like any unit; an unpaired surrogate
// becomes U+FFFD.
std::size_t utf16_to_utf8(const char16_t* text, std::size_t count, char* output, std::size_t output_size);

// Converts count UTF-8 bytes (1 <= count) to UTF-16, with the same sizing and failure rules.
// Each maximal invalid subsequence of bytes becomes one U+FFFD.
std::size_t utf8_to_utf16(const char* text, std::size_t count, char16_t* output, std::size_t output_size);

// _strtoi64 in the given base: white space, sign, "0x"/"0" prefixes in base 0; sets *end to the
// first unconverted character and errno to ERANGE when the value does not fit (errno is left
// alone otherwise, so callers clear it first).
int64_t string_to_int64(const char* text, char** end, int base);

}  // namespace platform
}  // namespace checker
