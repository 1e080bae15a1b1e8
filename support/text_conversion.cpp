// UTF-8 <-> UTF-16 conversion and strict parsing of unsigned numbers.
#include "text_conversion.hpp"

#include <cerrno>

#include "checker_exception.hpp"
#include "diagnostic_text.hpp"
#include "system_error.hpp"
#include "utf_conversion.hpp"

namespace checker {

std::string narrow(const char16_t* text, std::size_t count) {
    if (count == 0) {
        return std::string();
    }
    // The sizing failure carries the bare code: system_error_message itself depends on narrow.
    const std::size_t size = platform::utf16_to_utf8(text, count, nullptr, 0);
    if (size == 0) {
        throw CheckerException("Error on string narrow calculation, string length: [" + to_string(uint64_t{count}) +
                               "], error code: [" + to_string(last_system_error()) + "]");
    }
    std::string result(size, '\0');
    if (platform::utf16_to_utf8(text, count, &result[0], result.size()) != size) {
        throw CheckerException("Error on string narrow execution, string length: [" + to_string(uint64_t{count}) +
                               "], error code: [" + to_string(last_system_error()) + "]");
    }
    return result;
}

std::string narrow(const std::u16string& text) { return narrow(text.data(), text.size()); }

std::u16string widen(const std::string& text) {
    if (text.empty()) {
        return std::u16string();
    }
    const std::size_t count = platform::utf8_to_utf16(text.data(), text.size(), nullptr, 0);
    if (count == 0) {
        throw CheckerException("Error on string widen calculation, string: [" + text + "], error: [" +
                               system_error_message(last_system_error()) + "]");
    }
    std::u16string result(count, u'\0');
    if (platform::utf8_to_utf16(text.data(), text.size(), &result[0], result.size()) != count) {
        throw CheckerException("Error on string widen execution, string: [" + text + "], error: [" +
                               system_error_message(last_system_error()) + "]");
    }
    return result;
}

namespace {

// Converts the whole text as a signed 64-bit value; false when it does not fit or when
// anything is left over after the number.
bool parse_whole_int64(const std::string& text, int64_t& value) {
    errno = 0;
    char* end = nullptr;
    value = platform::string_to_int64(text.c_str(), &end, 0);
    return errno != ERANGE && end == text.c_str() + text.size();
}

}  // namespace

uint32_t parse_uint32(const std::string& text) {
    int64_t value = 0;
    if (!parse_whole_int64(text, value)) {
        throw CheckerException("Cannot parse uint32_t from string: [" + text + "]");
    }
    // A negative value taken as unsigned is always above the limit.
    if (static_cast<uint64_t>(value) > 4294967295ULL) {
        throw CheckerException("Value overflow for uint32_t from string: [" + text + "]");
    }
    return static_cast<uint32_t>(value);
}

uint64_t parse_uint64(const std::string& text) {
    int64_t value = 0;
    if (!parse_whole_int64(text, value)) {
        throw CheckerException("Cannot parse uint64_t from string: [" + text + "]");
    }
    if (value < 0) {
        throw CheckerException("Invalid negative value for uint64_t from string: [" + text + "]");
    }
    return static_cast<uint64_t>(value);
}

}  // namespace checker
