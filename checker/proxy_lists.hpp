// The texts a proxy choice reads: libcurl's no-proxy lists, Windows' bypass and proxy lists, and
// the answers of a proxy auto-configuration script. They come from outside the program (a
// detected script is anyone's on the LAN), so every input is a valid one and nothing throws.
#pragma once

#include <string>
#include <vector>

namespace checker {

// libcurl's no-proxy rules, as its 7.88 decides them in a transfer: "*" alone matches every
// host; otherwise entries separated by commas or blanks. A host name matches an entry equal to it
// or a domain above it ("example.com" and ".example.com" both match "a.example.com"), one
// trailing dot ignored on either side. An IPv4 host matches only addresses and ranges
// ("10.0.0.0/8"; "/0" and no suffix mean the address alone); an IPv6 host (without brackets, as
// a transfer hands it over) is compared as a name, so "::1" matches but no range does.
bool no_proxy_list_matches(const std::string& list, const std::string& host);

// Windows' bypass list for a URL: entries separated by ';', ',' or blanks, '*' matching any run of
// characters, "<local>" matching a host name without a dot; case does not matter. An entry with
// a port ("host:8443") matches only that port of the URL (its scheme's default when it names
// none), one with a scheme ("https://host") only URLs of that scheme.
bool bypass_list_matches(const std::string& list, const std::string& url);

// The proxies for an https address from a system proxy list or a script's answer, in the order
// they are tried; "" stands for a direct connection. A per-scheme list gives its "https=" entry,
// else its "socks=" entry (as "socks4://host:port"), else nothing (direct); a plain list gives
// every entry in order, with a script's keywords ("PROXY a:1; HTTPS b:2; SOCKS5 c:3; DIRECT")
// turned into libcurl's forms ("a:1", "https://b:2", "socks5://c:3", "").
std::vector<std::string> https_proxies_from_list(const std::string& list);

// What a configuration script is asked about for a URL: its scheme, host and port only
// ("https://host:8443/"), never its path, query or user info.
std::string script_question_url(const std::string& url);

}  // namespace checker
