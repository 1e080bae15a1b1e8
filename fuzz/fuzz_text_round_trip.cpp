// Fuzz target: narrow and widen on any bytes and any UTF-16 units. Valid text converts back
// exactly; anything else settles after one pass.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_checks.hpp"
#include "support/checker_exception.hpp"
#include "support/text_conversion.hpp"

namespace {

// Well-formed UTF-8 as Unicode defines it: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(const std::string& text) {
    std::size_t index = 0;
    while (index < text.size()) {
        const auto lead = static_cast<unsigned char>(text[index]);
        std::size_t length = 0;
        uint32_t code_point = 0;
        if (lead < 0x80) {
            ++index;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code_point = lead & 0x1Fu;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code_point = lead & 0x0Fu;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code_point = lead & 0x07u;
        } else {
            return false;
        }
        if (index + length > text.size()) {
            return false;
        }
        for (std::size_t next = index + 1; next < index + length; ++next) {
            const auto byte = static_cast<unsigned char>(text[next]);
            if ((byte & 0xC0) != 0x80) {
                return false;
            }
            code_point = (code_point << 6) | (byte & 0x3Fu);
        }
        static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code_point < smallest[length] || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
            return false;
        }
        index += length;
    }
    return true;
}

// UTF-16 in which every surrogate is part of a pair.
bool is_valid_utf16(const std::u16string& text) {
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (index + 1 == text.size() || text[index + 1] < 0xDC00 || text[index + 1] > 0xDFFF) {
                return false;
            }
            ++index;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

void check_utf8_input(const std::string& bytes) {
    using fuzz::require;
    const std::string once = checker::narrow(checker::widen(bytes));
    require(once.empty() == bytes.empty(), "only empty text converts to empty text");
    require(is_valid_utf8(once), "narrow gives well-formed UTF-8");
    require(checker::narrow(checker::widen(once)) == once, "a converted text converts to itself");
    if (is_valid_utf8(bytes)) {
        require(once == bytes, "well-formed UTF-8 survives widen and narrow");
    }
}

void check_utf16_input(const std::u16string& units) {
    using fuzz::require;
    const std::u16string once = checker::widen(checker::narrow(units));
    require(once.empty() == units.empty(), "only empty text converts to empty text");
    require(is_valid_utf16(once), "widen gives well-formed UTF-16");
    require(checker::widen(checker::narrow(once)) == once, "a converted text converts to itself");
    if (is_valid_utf16(units)) {
        require(once == units, "well-formed UTF-16 survives narrow and widen");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    try {
        check_utf8_input(std::string(reinterpret_cast<const char*>(data), size));
        std::u16string units(size / 2, u'\0');
        std::memcpy(&units[0], data, units.size() * 2);
        check_utf16_input(units);
    } catch (const checker::CheckerException& exception) {
        fuzz::report_violation("texts shorter than 2^31 units always convert", exception.what());
    }
    return 0;
}
