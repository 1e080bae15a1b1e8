// Small text helpers for reading artifact file names.
#include "checker/text_tokens.hpp"

#include <sstream>

namespace checker {

std::vector<std::string> split(const std::string& text, char delimiter) {
    std::vector<std::string> tokens;
    std::istringstream stream(text);
    std::string token;
    while (std::getline(stream, token, delimiter)) {
        if (!token.empty()) {
            tokens.push_back(token);
        }
    }
    return tokens;
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
