// The parts of a URL that the checker looks at: its scheme and host, and its user info, never shown.
#include "checker/url_text.hpp"

#include <algorithm>

#include "checker/text_tokens.hpp"

namespace checker {

UrlAuthority url_authority(const std::string& text) {
    UrlAuthority parts;
    std::string::size_type start = 0;
    const std::string::size_type scheme_end = text.find("://");
    if (scheme_end != std::string::npos) {
        parts.scheme = lower_case(text.substr(0, scheme_end));
        start = scheme_end + 3;
    }
    const std::string::size_type end = std::min(text.find_first_of("/?#", start), text.size());
    std::string authority = text.substr(start, end - start);
    authority.erase(0, authority.rfind('@') + 1);  // npos + 1 is 0: nothing to erase
    std::string::size_type port_colon = std::string::npos;
    if (starts_with(authority, "[")) {
        const std::string::size_type close = authority.find(']');
        parts.host = authority.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos && authority.compare(close + 1, 1, ":") == 0) {
            port_colon = close + 1;
        }
    } else if (authority.find(':') == authority.rfind(':')) {
        port_colon = authority.find(':');
        parts.host = authority.substr(0, port_colon);
    } else {
        parts.host = authority;  // a bare IPv6 address
    }
    if (port_colon != std::string::npos) {
        parts.port = authority.substr(port_colon + 1);
    }
    parts.host = lower_case(parts.host);
    return parts;
}

std::string url_host(const std::string& url) {
    return url_authority(url).host;
}

std::string url_scheme(const std::string& url) {
    const std::string::size_type scheme_end = url.find("://");
    return scheme_end == std::string::npos ? "http" : lower_case(url.substr(0, scheme_end));
}

namespace {

// Where the user info of an address begins, and where its last '@' lies (npos without one).
// The last '@' ends it: a password may hold an unencoded '/', '?', '#' or '@', and an address
// shown too short is better than a password shown.
struct UserInfoSpan {
    std::string::size_type start;
    std::string::size_type at;
};

UserInfoSpan user_info_span(const std::string& address) {
    const std::string::size_type scheme_end = address.find("://");
    const std::string::size_type start = scheme_end == std::string::npos ? 0 : scheme_end + 3;
    const std::string::size_type at = address.rfind('@');
    return {start, at == std::string::npos || at < start ? std::string::npos : at};
}

// Where the host of an address begins: after its user info, when it has any.
std::string::size_type host_start(const std::string& address) {
    const UserInfoSpan span = user_info_span(address);
    return span.at == std::string::npos ? span.start : span.at + 1;
}

// Where the path of a URL ends: at its query or fragment, else at its end.
std::string::size_type path_end(const std::string& url) {
    return std::min(url.find_first_of("?#", host_start(url)), url.size());
}

}  // namespace

std::string url_with_path_suffix(const std::string& url, const std::string& suffix) {
    const std::string::size_type end = path_end(url);
    const std::string::size_type fragment = std::min(url.find('#', end), url.size());
    return url.substr(0, end) + suffix + url.substr(end, fragment - end);
}

std::string url_file_name(const std::string& url) {
    const std::string::size_type start = host_start(url);
    const std::string::size_type end = path_end(url);
    const std::string::size_type slash = url.rfind('/', end == 0 ? 0 : end - 1);
    if (slash == std::string::npos || slash < start) {
        return "";
    }
    return url.substr(slash + 1, end - slash - 1);
}

std::string without_user_info(const std::string& url) {
    const UserInfoSpan span = user_info_span(url);
    return span.at == std::string::npos ? url : url.substr(0, span.start) + url.substr(span.at + 1);
}

void hide_user_info(SecretCleaner& cleaner, const std::string& address) {
    const UserInfoSpan span = user_info_span(address);
    if (span.at == std::string::npos) {
        return;
    }
    const std::string user_info = address.substr(span.start, span.at - span.start);
    cleaner.remove(user_info + "@");
    const std::string::size_type colon = user_info.find(':');
    if (colon != std::string::npos) {
        cleaner.hide(user_info.substr(colon + 1));
    }
}

}  // namespace checker
