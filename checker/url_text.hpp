// The parts of a URL that the checker looks at: its scheme and host, and its user info, never shown.
#pragma once

#include <string>

#include "support/secret_cleaner.hpp"

namespace checker {

// The parts of a URL (or of a "host:port", or a bypass entry) that decide where it goes: scheme
// and port are empty when the text names none; the host is lower case, without user info or IPv6
// brackets.
struct UrlAuthority {
    std::string scheme;
    std::string host;
    std::string port;
};
UrlAuthority url_authority(const std::string& text);

// The host of a URL, lower case, without user info, port or IPv6 brackets.
std::string url_host(const std::string& url);

// The scheme of a URL, lower case; "http" when it names none, as libcurl guesses for such names.
std::string url_scheme(const std::string& url);

// The URL with suffix appended to its path, before its query; a fragment is dropped, as it is
// never sent ("https://h/dm.json?c=8#x" and ".minisig" give "https://h/dm.json.minisig?c=8").
std::string url_with_path_suffix(const std::string& url, const std::string& suffix);

// The last segment of the URL's path, without query or fragment; empty when the path ends in '/'
// or the URL has none.
std::string url_file_name(const std::string& url);

// The URL (or "host:port") without any "user:password@" part, fit to be shown or traced. The
// user info ends at the last '@' of the address, wherever it lies.
std::string without_user_info(const std::string& url);

// Teaches the cleaner the address's user info: "user:password@" is removed from every text, the
// password alone is hidden.
void hide_user_info(SecretCleaner& cleaner, const std::string& address);

}  // namespace checker
