// The run's secrets, and texts cleaned of them before they leave the program.
#include "secret_cleaner.hpp"

#include <algorithm>
#include <cctype>

namespace checker {
namespace {

// Each "%XX" with two hexadecimal digits becomes its byte; anything else stays as it is.
std::string percent_decoded(const std::string& text) {
    std::string decoded;
    for (std::string::size_type index = 0; index < text.size(); ++index) {
        if (text[index] == '%' && index + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[index + 1])) != 0 &&
            std::isxdigit(static_cast<unsigned char>(text[index + 2])) != 0) {
            decoded += static_cast<char>(std::stoi(text.substr(index + 1, 2), nullptr, 16));
            index += 2;
        } else {
            decoded += text[index];
        }
    }
    return decoded;
}

// Every byte but letters, digits and "-._~" as "%XX".
std::string percent_encoded(const std::string& text, const char* digits) {
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 0x0f];
        }
    }
    return encoded;
}

void add_once(std::vector<std::string>& texts, const std::string& text) {
    if (!text.empty() && std::find(texts.begin(), texts.end(), text) == texts.end()) {
        texts.push_back(text);
        // Longest first, so that a secret inside a longer one never leaves the rest behind.
        std::stable_sort(texts.begin(), texts.end(),
                         [](const std::string& left, const std::string& right) { return left.size() > right.size(); });
    }
}

void replace_all(std::string& text, const std::string& found, const std::string& replacement) {
    for (std::string::size_type at = text.find(found); at != std::string::npos;
         at = text.find(found, at + replacement.size())) {
        text.replace(at, found.size(), replacement);
    }
}

}  // namespace

void SecretCleaner::remove(const std::string& text) {
    add_once(removed_, text);
}

void SecretCleaner::hide(const std::string& secret) {
    for (const std::string& form : {secret, percent_decoded(secret)}) {
        add_once(hidden_, form);
        add_once(hidden_, percent_encoded(form, "0123456789ABCDEF"));
        add_once(hidden_, percent_encoded(form, "0123456789abcdef"));
    }
}

std::string SecretCleaner::clean(std::string text) const {
    for (const std::string& removed : removed_) {
        replace_all(text, removed, "");
    }
    for (const std::string& secret : hidden_) {
        replace_all(text, secret, "(hidden)");
    }
    return text;
}

}  // namespace checker
