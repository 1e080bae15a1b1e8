// Which proxy the download goes through, and where that choice came from.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "checker/checker_config.hpp"
#include "checker/run_deadline.hpp"
#include "checker/system_network.hpp"

namespace checker {

struct ProxyChoice {
    std::string proxy;   // as libcurl takes it ("host:port" or a URL); empty for a direct connection
    std::string source;  // config, environment, system fixed, system script, system detection or none
};

// Where a choice looks beyond config.json; the system's by default, replaced in tests.
struct ProxySources {
    // The value of an environment variable, empty when unset.
    std::function<std::string(const char* name)> environment_variable;
    std::function<InternetSettings()> internet_settings;
    std::function<std::optional<std::string>(const std::string& url, const std::string& script_url,
                                             uint32_t timeout_millis)>
        automatic_configuration;
};
ProxySources system_proxy_sources();

// In this order: curl_noproxy matching the host (direct), curl_proxy, the environment
// variables libcurl knows, the user's Internet settings; otherwise a direct connection.
// The system's lookups get what is left of the deadline.
ProxyChoice choose_proxy(const CheckerConfig& config, const ProxySources& sources, const RunDeadline& deadline);

// "EVENT_PROXY " + proxy or "direct" + ", source: [" + source + "]", never with credentials.
std::string proxy_event(const ProxyChoice& choice);

// libcurl's no-proxy rules: names separated by commas or blanks, each matching the host itself
// or a domain below it ("example.com" and ".example.com" both match "a.example.com"), IPv4
// ranges as "10.0.0.0/8", and "*" alone matching every host.
bool no_proxy_list_matches(const std::string& list, const std::string& host);

// Windows' bypass list: entries separated by ';', ',' or blanks, '*' matching any run of
// characters, "<local>" matching a host name without a dot; case does not matter.
bool bypass_list_matches(const std::string& list, const std::string& host);

// The proxy for https from a system proxy list: the "https=" entry of a per-scheme list, or the
// first plain entry; empty when there is none.
std::string https_proxy_from_list(const std::string& list);

}  // namespace checker
