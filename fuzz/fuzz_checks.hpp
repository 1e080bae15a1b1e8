// Property checks of the fuzz targets: a broken property stops the run so libFuzzer keeps the input.
#pragma once

#include <string>

namespace fuzz {

// Prints the property and the detail to standard error and aborts.
[[noreturn]] void report_violation(const char* property, const std::string& detail);

inline void require(bool holds, const char* property, const std::string& detail = std::string()) {
    if (!holds) {
        report_violation(property, detail);
    }
}

bool has_prefix(const std::string& text, const std::string& prefix);

// Whether a load failure names the read limit in its callback part (the parser's own text can
// quote the input, so only the part after the last "callback error: [" counts).
bool read_limit_was_passed(const std::string& load_failure);

}  // namespace fuzz
