// The parts of a URL that the checker looks at: its host, and the URL without a password.
#pragma once

#include <string>

namespace checker {

// The host of a URL, lower case, without user info, port or IPv6 brackets.
std::string url_host(const std::string& url);

// The URL (or "host:port") without any "user:password@" part, fit to be shown or traced.
std::string without_user_info(const std::string& url);

}  // namespace checker
