// POSIX side of the text seam: our own UTF-8 / UTF-16 codec with the Windows replacement rules.
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "utf_conversion.hpp"

namespace checker {
namespace platform {
namespace {

constexpr std::size_t max_count = 2147483647;  // the Windows calls take a signed 32-bit length
constexpr char32_t replacement_character = 0xFFFD;

// Collects output units: counts them, and stores them while the caller's buffer has room.
template <typename Unit>
class UnitSink {
public:
    UnitSink(Unit* output, std::size_t output_size) : output_(output), output_size_(output_size) {}

    void put(Unit unit) {
        if (output_ != nullptr) {
            if (count_ >= output_size_) {
                overflow_ = true;
                return;
            }
            output_[count_] = unit;
        }
        ++count_;
    }
    // The result of the conversion call: the unit count, or 0 with errno for a full buffer.
    std::size_t result() const {
        if (overflow_) {
            errno = ERANGE;
            return 0;
        }
        return count_;
    }

private:
    Unit* output_;
    std::size_t output_size_;
    std::size_t count_ = 0;
    bool overflow_ = false;
};

void put_utf8(UnitSink<char>& sink, char32_t code_point) {
    if (code_point < 0x80) {
        sink.put(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
        sink.put(static_cast<char>(0xC0 | (code_point >> 6)));
        sink.put(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else if (code_point < 0x10000) {
        sink.put(static_cast<char>(0xE0 | (code_point >> 12)));
        sink.put(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
        sink.put(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else {
        sink.put(static_cast<char>(0xF0 | (code_point >> 18)));
        sink.put(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
        sink.put(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
        sink.put(static_cast<char>(0x80 | (code_point & 0x3F)));
    }
}

void put_utf16(UnitSink<char16_t>& sink, char32_t code_point) {
    if (code_point < 0x10000) {
        sink.put(static_cast<char16_t>(code_point));
    } else {
        code_point -= 0x10000;
        sink.put(static_cast<char16_t>(0xD800 + (code_point >> 10)));
        sink.put(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
    }
}

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::size_t utf16_to_utf8(const char16_t* text, std::size_t count, char* output, std::size_t output_size) {
    if (text == nullptr || count == 0 || count > max_count) {
        errno = EINVAL;
        return 0;
    }
    UnitSink<char> sink(output, output_size);
    for (std::size_t index = 0; index < count; ++index) {
        const char16_t unit = text[index];
        if (is_high_surrogate(unit) && index + 1 < count && is_low_surrogate(text[index + 1])) {
            const char16_t low = text[++index];
            put_utf8(sink, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00));
        } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
            put_utf8(sink, replacement_character);
        } else {
            put_utf8(sink, unit);
        }
    }
    return sink.result();
}

std::size_t utf8_to_utf16(const char* text, std::size_t count, char16_t* output, std::size_t output_size) {
    if (text == nullptr || count == 0 || count > max_count) {
        errno = EINVAL;
        return 0;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    UnitSink<char16_t> sink(output, output_size);
    std::size_t index = 0;
    while (index < count) {
        const unsigned char lead = bytes[index];
        if (lead < 0x80) {
            sink.put(lead);
            ++index;
            continue;
        }
        // The allowed range of the first continuation byte excludes overlong forms,
        // surrogates and values above U+10FFFF.
        unsigned char lower = 0x80;
        unsigned char upper = 0xBF;
        int needed = 0;
        char32_t code_point = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            needed = 1;
            code_point = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            needed = 2;
            code_point = lead & 0x0F;
            lower = lead == 0xE0 ? 0xA0 : 0x80;
            upper = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            needed = 3;
            code_point = lead & 0x07;
            lower = lead == 0xF0 ? 0x90 : 0x80;
            upper = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            put_utf16(sink, replacement_character);
            ++index;
            continue;
        }
        std::size_t next = index + 1;
        int taken = 0;
        while (taken < needed && next < count && bytes[next] >= lower && bytes[next] <= upper) {
            code_point = (code_point << 6) | (bytes[next] & 0x3F);
            lower = 0x80;
            upper = 0xBF;
            ++next;
            ++taken;
        }
        // A truncated sequence is replaced as a whole: the lead and the continuations it had.
        put_utf16(sink, taken == needed ? code_point : replacement_character);
        index = next;
    }
    return sink.result();
}

int64_t string_to_int64(const char* text, char** end, int base) {
    static_assert(sizeof(long long) == sizeof(int64_t), "strtoll must give 64 bits");
    return std::strtoll(text, end, base);
}

}  // namespace platform
}  // namespace checker
