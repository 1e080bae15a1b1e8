// Decimal texts for messages and the text of a system error code.
#pragma once

#include <cstdint>
#include <string>

namespace checker {

// Decimal text as a default output string stream writes it; bool gives "1" / "0".
std::string to_string(bool value);
std::string to_string(int32_t value);
std::string to_string(uint32_t value);
std::string to_string(int64_t value);
std::string to_string(uint64_t value);

// "code: [N], message: [text]" for a system error code (GetLastError on Windows,
// errno on POSIX); 0 gives the empty text. Never throws.
std::string system_error_message(uint32_t code);

// Appends a failure text to collected failures, one per line; an empty text is ignored.
void append_failure_line(std::string& collected, const std::string& text);

// The calling thread's last system error code (GetLastError / errno), and setting it back.
uint32_t last_system_error();
void set_last_system_error(uint32_t code);

}  // namespace checker
