// Decimal texts for messages and collected failure lines.
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

// A Unix time (seconds since 1970, UTC) as "2026-12-10T06:08:00Z".
std::string utc_time_text(uint64_t seconds);

// Appends a failure text to collected failures, one per line; an empty text is ignored.
void append_failure_line(std::string& collected, const std::string& text);

}  // namespace checker
