// The parts of a URL that the checker looks at: its scheme and host, and its user info, never shown.
#include "checker/url_text.hpp"

#include "checker/text_tokens.hpp"

namespace checker {

std::string url_host(const std::string& url) {
    const std::string::size_type scheme_end = url.find("://");
    const std::string::size_type start = scheme_end == std::string::npos ? 0 : scheme_end + 3;
    const std::string::size_type end = url.find_first_of("/?#", start);
    std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const std::string::size_type at = authority.rfind('@');
    if (at != std::string::npos) {
        authority.erase(0, at + 1);
    }
    if (!authority.empty() && authority.front() == '[') {
        return lower_case(authority.substr(1, authority.find(']') - 1));
    }
    return lower_case(authority.substr(0, authority.find(':')));
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

}  // namespace

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
