// Which proxy the download goes through, and where that choice came from.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "checker/checker_config.hpp"
#include "checker/run_deadline.hpp"
#include "checker/system_network.hpp"

namespace checker {

struct ProxyChoice {
    ProxyChoice(std::string first, std::string from, std::vector<std::string> next = {})
        : proxy(std::move(first)), source(std::move(from)), next_proxies(std::move(next)) {}

    std::string proxy;   // as libcurl takes it ("host:port" or a URL); empty for a direct connection
    std::string source;  // config, environment, system fixed, system script, system detection or none
    // The entries tried in order when the one before cannot be connected to, "" for a direct
    // connection: a script may answer with several.
    std::vector<std::string> next_proxies;
    // What the choice passed over on its way (a lookup that failed or had no time left), for the trace.
    std::vector<std::string> notes;
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
// variables libcurl knows, the user's Internet settings (automatic detection, then the
// configuration script, then the fixed proxy with its bypass list); otherwise a direct
// connection. A lookup that fails or has no time left passes on to the next source; only a
// script that answers DIRECT means direct. The system's lookups get what is left of the deadline
// and learn the address's scheme, host and port only.
ProxyChoice choose_proxy(const CheckerConfig& config, const ProxySources& sources, const RunDeadline& deadline);

// "EVENT_PROXY " + proxy or "direct" + ", source: [" + source + "]", never with credentials.
std::string proxy_event(const ProxyChoice& choice);

// How a proxy that asks for credentials is answered. Configured credentials go to the proxy from
// the config only, credentials inside an address only to a proxy from the config or the
// environment, both with every method; any other proxy, and one without credentials, gets the
// logged-on user's (Negotiate or NTLM) where the system offers single sign-on, else nothing.
struct ProxyAuth {
    enum class Credentials { none, configured, in_address, logon };
    Credentials credentials = Credentials::none;
    unsigned long methods = 0;  // CURLOPT_PROXYAUTH flags; 0 leaves libcurl's default
};
ProxyAuth proxy_auth_for(const std::string& proxy, const std::string& source, const CheckerConfig& config,
                         bool single_sign_on_available);

}  // namespace checker
