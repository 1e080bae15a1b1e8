// Fuzz target: parse_uint32 and parse_uint64 on any text, checked against each other and, for
// plain decimal texts, against the digits themselves.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_checks.hpp"
#include "support/checker_exception.hpp"
#include "support/text_conversion.hpp"

namespace {

struct Outcome {
    bool parsed = false;
    uint64_t value = 0;
    std::string message;
};

template <typename Parse>
Outcome attempt(Parse parse, const std::string& text) {
    Outcome outcome;
    try {
        outcome.value = parse(text);
        outcome.parsed = true;
    } catch (const checker::CheckerException& exception) {
        outcome.message = exception.what();
    }
    return outcome;
}

// The value of a text of one to eighteen decimal digits without a leading zero (no octal, no
// overflow); false for any other text.
bool plain_decimal(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 18 || (text[0] == '0' && text.size() > 1)) {
        return false;
    }
    value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9') {
            return false;
        }
        value = value * 10 + static_cast<uint64_t>(digit - '0');
    }
    return true;
}

// what() is a C string, so a text with a NUL shows only up to it.
bool failed_with(const Outcome& outcome, const std::string& prefix, const std::string& text) {
    return !outcome.parsed && outcome.message == (prefix + text + "]").c_str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using fuzz::require;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Outcome as_uint32 = attempt(checker::parse_uint32, text);
    const Outcome as_uint64 = attempt(checker::parse_uint64, text);

    require(as_uint32.parsed || failed_with(as_uint32, "Cannot parse uint32_t from string: [", text) ||
                failed_with(as_uint32, "Value overflow for uint32_t from string: [", text),
            "parse_uint32 fails with one of its texts around the whole input", as_uint32.message);
    require(as_uint64.parsed || failed_with(as_uint64, "Cannot parse uint64_t from string: [", text) ||
                failed_with(as_uint64, "Invalid negative value for uint64_t from string: [", text),
            "parse_uint64 fails with one of its texts around the whole input", as_uint64.message);

    // Both read the text as one signed 64-bit number; only the range check differs.
    if (as_uint32.parsed) {
        require(as_uint64.parsed && as_uint64.value == as_uint32.value, "parse_uint64 agrees with parse_uint32");
    }
    if (as_uint64.parsed) {
        require(as_uint64.value <= INT64_MAX, "parse_uint64 stays in the signed 64-bit range");
        require(as_uint32.parsed == (as_uint64.value <= UINT32_MAX), "parse_uint32 takes exactly the 32-bit values");
    }
    uint64_t expected = 0;
    if (plain_decimal(text, expected)) {
        require(as_uint64.parsed && as_uint64.value == expected, "a plain decimal text reads as its digits", text);
    }
    return 0;
}
