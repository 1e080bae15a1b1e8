// UTF-8 <-> UTF-16 conversion and strict parsing of unsigned numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace checker {

// UTF-16 to UTF-8; explicit length, embedded NULs kept, unpaired surrogates become U+FFFD.
std::string narrow(const char16_t* text, std::size_t count);
std::string narrow(const std::u16string& text);

// UTF-8 to UTF-16; malformed sequences become U+FFFD.
std::u16string widen(const std::string& text);

uint32_t parse_uint32(const std::string& text);
uint64_t parse_uint64(const std::string& text);

}  // namespace checker
