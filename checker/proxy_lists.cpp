// The texts a proxy choice reads: no-proxy, bypass and proxy lists, and a script's answers.
#include "checker/proxy_lists.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

#include "checker/text_tokens.hpp"
#include "checker/url_text.hpp"

namespace checker {
namespace {

bool all_digits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// A dotted IPv4 address as a number, as inet_pton reads it (four decimal parts up to 255, no
// leading zeros); nullopt for anything else.
std::optional<uint32_t> ipv4_address(const std::string& text) {
    if (text.empty() || text.front() == '.' || text.back() == '.' || text.find("..") != std::string::npos) {
        return std::nullopt;
    }
    const std::vector<std::string> parts = split(text, '.');
    if (parts.size() != 4) {
        return std::nullopt;
    }
    uint32_t address = 0;
    for (const std::string& part : parts) {
        if (!all_digits(part) || part.size() > 3 || (part.size() > 1 && part.front() == '0')) {
            return std::nullopt;
        }
        const int value = std::stoi(part);
        if (value > 255) {
            return std::nullopt;
        }
        address = (address << 8) | static_cast<uint32_t>(value);
    }
    return address;
}

// The prefix length after an address's '/', read as C's atoi reads it (leading digits, an
// optional sign; nothing is 0). A value out of range gives 33.
unsigned int prefix_bits(const std::string& text) {
    std::string::size_type position = 0;
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position++] == '-';
    }
    unsigned int bits = 0;
    while (position < text.size() && std::isdigit(static_cast<unsigned char>(text[position])) != 0) {
        bits = std::min(bits * 10 + static_cast<unsigned int>(text[position++] - '0'), 33U);
    }
    return negative && bits != 0 ? 33U : bits;
}

// An IPv4 address or range entry of a no-proxy list against an IPv4 host; 0 bits is the
// address alone, as libcurl takes it.
bool ipv4_range_matches(const std::string& entry, uint32_t address) {
    if (entry.size() >= 128) {
        return false;  // libcurl copies an entry into 128 bytes; a longer one cannot match
    }
    const std::string::size_type slash = entry.find('/');
    const std::optional<uint32_t> network = ipv4_address(entry.substr(0, slash));
    const unsigned int bits = slash == std::string::npos ? 0 : prefix_bits(entry.substr(slash + 1));
    if (!network || bits > 32) {
        return false;
    }
    const uint32_t mask = bits == 0 ? ~uint32_t{0} : ~uint32_t{0} << (32 - bits);
    return (address & mask) == (*network & mask);
}

// '*' matches any run of characters, including none.
bool wildcard_matches(const std::string& pattern, const std::string& text) {
    std::string::size_type p = 0;
    std::string::size_type t = 0;
    std::string::size_type star = std::string::npos;
    std::string::size_type star_text = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            star_text = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++star_text;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::string default_port(const std::string& scheme) {
    return scheme == "http" ? "80" : "443";
}

// A plain entry of a proxy list, with a script's keyword before it when there was one.
std::string proxy_in_curl_form(const std::string& keyword, const std::string& address) {
    if (address.find("://") != std::string::npos || keyword.empty() || keyword == "proxy") {
        return address;
    }
    if (keyword == "socks") {
        return "socks4://" + address;
    }
    return keyword + "://" + address;  // https, socks4, socks5
}

}  // namespace

bool no_proxy_list_matches(const std::string& list, const std::string& host) {
    if (host.empty()) {
        return false;
    }
    if (list == "*") {
        return true;
    }
    std::string name = lower_case(host);
    const std::optional<uint32_t> address = ipv4_address(name);
    if (!address && ends_with(name, ".")) {
        name.pop_back();
    }
    for (std::string entry : split_at_any(lower_case(list), ", \t")) {
        if (address) {
            if (ipv4_range_matches(entry, *address)) {
                return true;
            }
            continue;
        }
        if (ends_with(entry, ".")) {
            entry.pop_back();
        }
        if (starts_with(entry, ".")) {
            entry.erase(0, 1);
        }
        if (entry.size() == name.size() ? entry == name
                                        : entry.size() < name.size() && name[name.size() - entry.size() - 1] == '.' &&
                                              ends_with(name, entry)) {
            return true;
        }
    }
    return false;
}

bool bypass_list_matches(const std::string& list, const std::string& url) {
    const UrlAuthority target = url_authority(url);
    const std::string scheme = target.scheme.empty() ? "https" : target.scheme;
    const std::string port = target.port.empty() ? default_port(scheme) : target.port;
    for (const std::string& entry_text : split_at_any(lower_case(list), ";, \t\r\n")) {
        if (entry_text == "<local>") {
            if (target.host.find('.') == std::string::npos && target.host.find(':') == std::string::npos) {
                return true;
            }
            continue;
        }
        const UrlAuthority entry = url_authority(entry_text);
        if ((entry.scheme.empty() || entry.scheme == scheme) && (entry.port.empty() || wildcard_matches(entry.port, port)) &&
            wildcard_matches(entry.host, target.host)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> https_proxies_from_list(const std::string& list) {
    std::vector<std::string> plain;
    std::string https;
    std::string socks;
    std::string keyword;
    for (const std::string& entry : split_at_any(list, "; \t\r\n")) {
        const std::string word = lower_case(entry);
        if (word == "direct") {
            plain.emplace_back();
            keyword.clear();
        } else if (word == "proxy" || word == "https" || word == "socks" || word == "socks4" || word == "socks5") {
            keyword = word;
        } else if (const std::string::size_type equals = entry.find('='); equals != std::string::npos) {
            const std::string scheme = lower_case(entry.substr(0, equals));
            const std::string address = entry.substr(equals + 1);
            if (scheme == "https" && https.empty()) {
                https = address;
            } else if (scheme == "socks" && socks.empty() && !address.empty()) {
                socks = proxy_in_curl_form("socks", address);
            }
            keyword.clear();
        } else {
            plain.push_back(proxy_in_curl_form(keyword, entry));
            keyword.clear();
        }
    }
    if (!https.empty()) {
        return {https};
    }
    if (!plain.empty()) {
        return plain;
    }
    if (!socks.empty()) {
        return {socks};
    }
    return {};
}

std::string script_question_url(const std::string& url) {
    const UrlAuthority parts = url_authority(url);
    const std::string host = parts.host.find(':') != std::string::npos ? "[" + parts.host + "]" : parts.host;
    return (parts.scheme.empty() ? "https" : parts.scheme) + "://" + host + (parts.port.empty() ? "" : ":" + parts.port) +
           "/";
}

}  // namespace checker
