// Small text helpers for reading artifact file names.
#include "checker/text_tokens.hpp"

#include <algorithm>
#include <cctype>

namespace checker {

std::vector<std::string> split(const std::string& text, char delimiter) {
    return split_at_any(text, std::string(1, delimiter));
}

std::vector<std::string> split_at_any(const std::string& text, const std::string& delimiters) {
    std::vector<std::string> tokens;
    std::string::size_type start = 0;
    while (start < text.size()) {
        const std::string::size_type end = std::min(text.find_first_of(delimiters, start), text.size());
        if (end > start) {
            tokens.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return tokens;
}

std::string lower_case(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool ends_with(const std::string& text, const std::string& suffix) {
    return suffix.size() <= text.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string pad_left(const std::string& text, std::size_t width, char fill) {
    if (text.size() >= width) {
        return text;
    }
    return std::string(width - text.size(), fill) + text;
}

}  // namespace checker
