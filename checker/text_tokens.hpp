// Small text helpers for artifact file names, URLs and proxy lists.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace checker {

// The non-empty tokens between delimiters, in order: "a//b/" gives a and b.
std::vector<std::string> split(const std::string& text, char delimiter);
// The same with any of several delimiters: "a, b;c" with ",; " gives a, b and c.
std::vector<std::string> split_at_any(const std::string& text, const std::string& delimiters);
bool starts_with(const std::string& text, const std::string& prefix);
// False when the suffix is longer than the text.
bool ends_with(const std::string& text, const std::string& suffix);
// Prefixes the fill character until the text is at least width long; longer texts stay.
// ASCII letters in lower case; other bytes stay as they are.
std::string lower_case(std::string text);
std::string pad_left(const std::string& text, std::size_t width, char fill);

}  // namespace checker
