// Decimal texts for diagnostic messages.
#include "diagnostic_text.hpp"

namespace checker {

// std::to_string is locale-independent, which gives the classic-locale text without grouping.
std::string to_string(bool value) { return value ? "1" : "0"; }
std::string to_string(int32_t value) { return std::to_string(value); }
std::string to_string(uint32_t value) { return std::to_string(value); }
std::string to_string(int64_t value) { return std::to_string(value); }
std::string to_string(uint64_t value) { return std::to_string(value); }

void append_failure_line(std::string& collected, const std::string& text) {
    if (text.empty()) {
        return;
    }
    if (!collected.empty()) {
        collected += "\n";
    }
    collected += text;
}

}  // namespace checker
