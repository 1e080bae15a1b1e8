// The stand-in's report lines, UTF-16 conversion and last-error texts.
#include <cstdio>
#include <string>

#include "notifier/standin/internal.hpp"
#include "notifier/standin/standin_module.hpp"

namespace {

thread_local DWORD last_error = 0;

void append_utf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (point >> 18));
        out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

}  // namespace

DWORD GetLastError() {
    return last_error;
}

void SetLastError(DWORD code) {
    last_error = code;
}

namespace standin {

void report(const std::string& line) {
    std::fprintf(stderr, "standin: %s\n", line.c_str());
    std::fflush(stderr);
}

std::string to_utf8(const char16_t* text) {
    std::string out;
    if (text == nullptr) {
        return out;
    }
    for (const char16_t* unit = text; *unit != 0; ++unit) {
        char32_t point = *unit;
        if (point >= 0xD800 && point < 0xDC00 && unit[1] >= 0xDC00 && unit[1] < 0xE000) {
            point = 0x10000 + ((point - 0xD800) << 10) + (unit[1] - 0xDC00);
            ++unit;
        } else if (point >= 0xD800 && point < 0xE000) {
            point = 0xFFFD;
        }
        append_utf8(out, point);
    }
    return out;
}

std::u16string to_utf16(const std::string& text) {
    std::u16string out;
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 0x6 ? 2 : lead >> 4 == 0xE ? 3 : lead >> 3 == 0x1E ? 4 : 0;
        char32_t point = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && at + length <= text.size();
        for (std::size_t next = 1; valid && next < length; ++next) {
            const auto unit = static_cast<unsigned char>(text[at + next]);
            valid = (unit & 0xC0) == 0x80;
            point = (point << 6) | (unit & 0x3F);
        }
        if (!valid || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000)) {
            out += u'\xFFFD';
            ++at;
            continue;
        }
        if (point >= 0x10000) {
            point -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (point >> 10));
            out += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
        } else {
            out += static_cast<char16_t>(point);
        }
        at += length;
    }
    return out;
}

std::string error_message(DWORD code) {
    if (code == 0) {
        return std::string();
    }
    const char* text = nullptr;
    switch (code) {
    case ERROR_FILE_NOT_FOUND: text = "The system cannot find the file specified."; break;
    case ERROR_PATH_NOT_FOUND: text = "The system cannot find the path specified."; break;
    case ERROR_ACCESS_DENIED: text = "Access is denied."; break;
    case ERROR_INVALID_HANDLE: text = "The handle is invalid."; break;
    case ERROR_NOT_ENOUGH_MEMORY: text = "Not enough memory resources are available to process this command."; break;
    case ERROR_INVALID_DATA: text = "The data is invalid."; break;
    case ERROR_INVALID_PARAMETER: text = "The parameter is incorrect."; break;
    case ERROR_MOD_NOT_FOUND: text = "The specified module could not be found."; break;
    case ERROR_INVALID_NAME: text = "The filename, directory name, or volume label syntax is incorrect."; break;
    case ERROR_ALREADY_EXISTS: text = "Cannot create a file when that file already exists."; break;
    case ERROR_INVALID_WINDOW_HANDLE: text = "Invalid window handle."; break;
    case ERROR_CANNOT_FIND_WND_CLASS: text = "Cannot find window class."; break;
    case ERROR_CLASS_ALREADY_EXISTS: text = "Class already exists."; break;
    case ERROR_RESOURCE_NAME_NOT_FOUND: text = "The specified resource name cannot be found in the image file."; break;
    default: break;
    }
    if (text == nullptr) {
        // What FormatMessageW reports for a code it has no text for: ERROR_MR_MID_NOT_FOUND.
        return "Cannot format code: [" + std::to_string(code) + "] into message, error code: [317]";
    }
    return "code: [" + std::to_string(code) + "], message: [" + text + "]";
}

}  // namespace standin
