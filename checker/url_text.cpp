// The parts of a URL that the checker looks at: its host, and the URL without a password.
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

std::string without_user_info(const std::string& url) {
    const std::string::size_type scheme_end = url.find("://");
    const std::string::size_type start = scheme_end == std::string::npos ? 0 : scheme_end + 3;
    const std::string::size_type authority_end = url.find_first_of("/?#", start);
    const std::string::size_type at = url.rfind('@', authority_end == std::string::npos ? std::string::npos
                                                                                          : authority_end);
    if (at == std::string::npos || at < start) {
        return url;
    }
    return url.substr(0, start) + url.substr(at + 1);
}

}  // namespace checker
