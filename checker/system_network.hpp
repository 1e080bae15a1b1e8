// What the user's system says about network connections: which roots to trust when no CA file
// is configured, the proxy of the user's Internet settings, and single sign-on at that proxy.
//
// Platform seam: system_network_win32.cpp asks WinHTTP (WinHttpGetIEProxyConfigForCurrentUser,
// WinHttpGetProxyForUrl) and uses the Windows root store; system_network_posix.cpp has no
// Internet settings (libcurl's default trust and the environment variables are all there is).
// None of these functions throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace checker {

// The SSL options that make libcurl trust the system's roots when no CA file is configured
// (CURLSSLOPT_NATIVE_CA on Windows, whose libcurl has no bundle of its own); 0 keeps libcurl's
// default.
long system_trust_ssl_options();

// The current user's proxy settings (Windows' Internet settings); all empty on POSIX.
struct InternetSettings {
    bool auto_detect = false;     // "Automatically detect settings"
    std::string auto_config_url;  // the address of a proxy auto-configuration script
    std::string proxy;            // "host:port" or per scheme "http=host:port;https=host:port"
    std::string proxy_bypass;     // "<local>;*.example.com;10.*", separated by ';' or blanks
};
InternetSettings current_user_internet_settings();

// Asks the automatic configuration script at script_url (empty: automatic detection) which
// proxy to use for url. The answer is the proxy list as the system gives it ("host:port" or
// several, separated by ';' or blanks), empty for a direct connection; nullopt when the script
// or the detection fails or gives no answer within timeout_millis.
std::optional<std::string> proxy_from_automatic_configuration(const std::string& url, const std::string& script_url,
                                                              uint32_t timeout_millis);

// Whether a proxy that asks for authentication, when no credentials are configured, can be
// answered with the current user's logon (SSPI's Negotiate and NTLM on Windows).
bool proxy_single_sign_on_available();

}  // namespace checker
