// Which proxy the download goes through, and where that choice came from.
#include "checker/proxy_choice.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "checker/text_tokens.hpp"
#include "checker/url_text.hpp"

namespace checker {
namespace {

// The system's lookup is bounded like the transfer itself; no transfer limit still gives it one.
constexpr uint32_t unbounded_lookup_millis = 120000;

// A dotted IPv4 address as a number; nullopt for anything else.
std::optional<uint32_t> ipv4_address(const std::string& text) {
    const std::vector<std::string> parts = split(text, '.');
    if (parts.size() != 4 || text.front() == '.' || text.back() == '.' || text.find("..") != std::string::npos) {
        return std::nullopt;
    }
    uint32_t address = 0;
    for (const std::string& part : parts) {
        if (part.size() > 3 || !std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c); })) {
            return std::nullopt;
        }
        const int value = std::atoi(part.c_str());
        if (value > 255) {
            return std::nullopt;
        }
        address = (address << 8) | static_cast<uint32_t>(value);
    }
    return address;
}

bool ipv4_range_matches(const std::string& range, uint32_t address) {
    const std::string::size_type slash = range.find('/');
    const std::optional<uint32_t> network = ipv4_address(range.substr(0, slash));
    if (!network) {
        return false;
    }
    if (slash == std::string::npos) {
        return *network == address;
    }
    const std::string bits_text = range.substr(slash + 1);
    if (bits_text.empty() || bits_text.size() > 2 ||
        !std::all_of(bits_text.begin(), bits_text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        return false;
    }
    const int bits = std::atoi(bits_text.c_str());
    if (bits > 32) {
        return false;
    }
    const uint32_t mask = bits == 0 ? 0 : ~uint32_t{0} << (32 - bits);
    return (*network & mask) == (address & mask);
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

std::string first_environment_value(const ProxySources& sources, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        std::string value = sources.environment_variable(name);
        if (!value.empty()) {
            return value;
        }
    }
    return {};
}

// Automatic detection, then the configuration script, each asked only when the user chose it;
// the first that is chosen decides, and one that fails means a direct connection.
std::optional<ProxyChoice> automatic_choice(const std::string& url, const InternetSettings& settings,
                                            const ProxySources& sources, const RunDeadline& deadline) {
    const auto remaining = [&deadline] { return std::min(deadline.remaining_millis(), unbounded_lookup_millis); };
    std::optional<ProxyChoice> choice;
    if (settings.auto_detect) {
        if (const std::optional<std::string> answer = sources.automatic_configuration(url, "", remaining())) {
            return ProxyChoice{https_proxy_from_list(*answer), "system detection"};
        }
        choice = ProxyChoice{"", "system detection"};
    }
    if (!settings.auto_config_url.empty()) {
        if (const std::optional<std::string> answer =
                sources.automatic_configuration(url, settings.auto_config_url, remaining())) {
            return ProxyChoice{https_proxy_from_list(*answer), "system script"};
        }
        choice = ProxyChoice{"", "system script"};
    }
    return choice;
}

}  // namespace

ProxySources system_proxy_sources() {
    ProxySources sources;
    sources.environment_variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr ? value : "");
    };
    sources.internet_settings = current_user_internet_settings;
    sources.automatic_configuration = proxy_from_automatic_configuration;
    return sources;
}

ProxyChoice choose_proxy(const CheckerConfig& config, const ProxySources& sources, const RunDeadline& deadline) {
    const std::string host = url_host(config.remote_version_url);
    if (!config.curl_noproxy.empty() && no_proxy_list_matches(config.curl_noproxy, host)) {
        return {"", "config"};
    }
    if (!config.curl_proxy.empty()) {
        return {config.curl_proxy, "config"};
    }
    // The variables libcurl itself reads for an https address, in its order.
    const std::string environment_proxy =
        first_environment_value(sources, {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"});
    if (!environment_proxy.empty()) {
        const std::string no_proxy = first_environment_value(sources, {"no_proxy", "NO_PROXY"});
        if (no_proxy_list_matches(no_proxy, host)) {
            return {"", "environment"};
        }
        return {environment_proxy, "environment"};
    }
    const InternetSettings settings = sources.internet_settings();
    if (std::optional<ProxyChoice> automatic = automatic_choice(config.remote_version_url, settings, sources, deadline)) {
        return *automatic;
    }
    const std::string fixed = https_proxy_from_list(settings.proxy);
    if (!fixed.empty()) {
        if (bypass_list_matches(settings.proxy_bypass, host)) {
            return {"", "system fixed"};
        }
        return {fixed, "system fixed"};
    }
    return {"", "none"};
}

std::string proxy_event(const ProxyChoice& choice) {
    const std::string proxy = choice.proxy.empty() ? "direct" : without_user_info(choice.proxy);
    return "EVENT_PROXY " + proxy + ", source: [" + choice.source + "]";
}

bool no_proxy_list_matches(const std::string& list, const std::string& host) {
    if (list == "*") {
        return true;
    }
    std::string name = lower_case(host);
    if (!name.empty() && name.back() == '.') {
        name.pop_back();
    }
    const std::optional<uint32_t> address = ipv4_address(name);
    for (std::string entry : split_at_any(lower_case(list), ", \t")) {
        if (address) {
            if (ipv4_range_matches(entry, *address)) {
                return true;
            }
            continue;
        }
        if (entry.front() == '.') {
            entry.erase(0, 1);
        }
        if (!entry.empty() && (name == entry || ends_with(name, "." + entry))) {
            return true;
        }
    }
    return false;
}

bool bypass_list_matches(const std::string& list, const std::string& host) {
    const std::string name = lower_case(host);
    for (std::string entry : split_at_any(lower_case(list), ";, \t\r\n")) {
        if (entry == "<local>") {
            if (name.find('.') == std::string::npos && name.find(':') == std::string::npos) {
                return true;
            }
            continue;
        }
        // An entry may carry a scheme ("https://*.example.com"); the host is what is compared.
        const std::string::size_type scheme_end = entry.find("://");
        if (scheme_end != std::string::npos) {
            entry.erase(0, scheme_end + 3);
        }
        if (wildcard_matches(entry, name)) {
            return true;
        }
    }
    return false;
}

std::string https_proxy_from_list(const std::string& list) {
    std::string plain;
    for (const std::string& entry : split_at_any(list, "; \t\r\n")) {
        const std::string::size_type equals = entry.find('=');
        if (equals == std::string::npos) {
            if (plain.empty()) {
                plain = entry;
            }
        } else if (lower_case(entry.substr(0, equals)) == "https" && equals + 1 < entry.size()) {
            return entry.substr(equals + 1);
        }
    }
    return plain;
}

}  // namespace checker
