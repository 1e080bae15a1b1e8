// POSIX side of system error texts: errno values and the C library's sentence for them.
#include <cerrno>
#include <cstring>

#include "diagnostic_text.hpp"
#include "system_error.hpp"

namespace checker {

std::string system_error_message(uint32_t code) {
    if (code == 0) {
        return std::string();
    }
    try {
        char buffer[256] = {};
        // GNU strerror_r may return a static text instead of filling the buffer.
        const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
        return "code: [" + to_string(code) + "], message: [" + std::string(text) + "]";
    } catch (...) {
        return std::string();
    }
}

uint32_t last_system_error() { return static_cast<uint32_t>(errno); }

void set_last_system_error(uint32_t code) { errno = static_cast<int>(code); }

}  // namespace checker
