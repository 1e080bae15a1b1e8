// Decimal texts for messages, collected failure lines, and (from system_error.hpp) the text of a
// system error code.
#pragma once

#include <cstdint>
#include <string>

#include "system_error.hpp"

namespace checker {

// Decimal text as a default output string stream writes it; bool gives "1" / "0".
std::string to_string(bool value);
std::string to_string(int32_t value);
std::string to_string(uint32_t value);
std::string to_string(int64_t value);
std::string to_string(uint64_t value);

// Appends a failure text to collected failures, one per line; an empty text is ignored.
void append_failure_line(std::string& collected, const std::string& text);

}  // namespace checker
