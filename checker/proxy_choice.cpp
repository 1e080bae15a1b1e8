// Which proxy the download goes through, and where that choice came from.
#include "checker/proxy_choice.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include "checker/proxy_lists.hpp"
#include "checker/url_text.hpp"

namespace checker {
namespace {

// The system's lookup is bounded like the transfer itself; no transfer limit still gives it one.
constexpr uint32_t unbounded_lookup_millis = 120000;

std::string first_environment_value(const ProxySources& sources, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        std::string value = sources.environment_variable(name);
        if (!value.empty()) {
            return value;
        }
    }
    return {};
}

// The first proxy of a list and the ones to try after it; an empty list means direct.
ProxyChoice choice_from_list(const std::string& list, const std::string& source) {
    const std::vector<std::string> proxies = https_proxies_from_list(list);
    if (proxies.empty()) {
        return {"", source};
    }
    return {proxies.front(), source, {proxies.begin() + 1, proxies.end()}};
}

// Automatic detection, then the configuration script, each asked only when the user chose it and
// time is left; the first that answers decides. Those that were passed over are noted.
std::optional<ProxyChoice> automatic_choice(const std::string& url, const InternetSettings& settings,
                                            const ProxySources& sources, const RunDeadline& deadline,
                                            std::vector<std::string>& notes) {
    struct Lookup {
        bool chosen;
        std::string script_url;  // empty: automatic detection
        const char* source;
    };
    const std::string question = script_question_url(url);
    for (const Lookup& lookup : {Lookup{settings.auto_detect, "", "system detection"},
                                 Lookup{!settings.auto_config_url.empty(), settings.auto_config_url, "system script"}}) {
        if (!lookup.chosen) {
            continue;
        }
        const uint32_t millis = std::min(deadline.remaining_millis(), unbounded_lookup_millis);
        if (millis == 0) {
            notes.push_back("proxy lookup skipped, no time left, source: [" + std::string(lookup.source) + "]");
            continue;
        }
        if (const std::optional<std::string> answer = sources.automatic_configuration(question, lookup.script_url, millis)) {
            return choice_from_list(*answer, lookup.source);
        }
        notes.push_back("proxy lookup gave no answer, source: [" + std::string(lookup.source) + "]");
    }
    return std::nullopt;
}

ProxyChoice system_choice(const std::string& url, const ProxySources& sources, const RunDeadline& deadline) {
    const InternetSettings settings = sources.internet_settings();
    std::vector<std::string> notes;
    std::optional<ProxyChoice> choice = automatic_choice(url, settings, sources, deadline, notes);
    if (!choice) {
        if (settings.proxy.find_first_not_of("; \t\r\n") == std::string::npos) {
            choice = ProxyChoice{"", "none"};
        } else if (bypass_list_matches(settings.proxy_bypass, url)) {
            choice = ProxyChoice{"", "system fixed"};
        } else {
            choice = choice_from_list(settings.proxy, "system fixed");
        }
    }
    choice->notes = std::move(notes);
    return *choice;
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
    return system_choice(config.remote_version_url, sources, deadline);
}

std::string proxy_event(const ProxyChoice& choice) {
    const std::string proxy = choice.proxy.empty() ? "direct" : without_user_info(choice.proxy);
    return "EVENT_PROXY " + proxy + ", source: [" + choice.source + "]";
}

ProxyAuth proxy_auth_for(const std::string& proxy, const std::string& source, const CheckerConfig& config,
                         bool single_sign_on_available) {
    if (proxy.empty()) {
        return {};
    }
    // Credentials go only to a proxy the user named: configured ones to curl_proxy, those inside
    // an address to that address. A proxy the system found (detection, script, fixed settings)
    // may be anyone's and could relay an NTLM answer or crack a Digest one offline.
    const bool named_by_user = source == "config" || source == "environment";
    if (source == "config" && !config.curl_proxy_username.empty()) {
        return {ProxyAuth::Credentials::configured, CURLAUTH_ANY};
    }
    if (named_by_user && without_user_info(proxy) != proxy) {
        return {ProxyAuth::Credentials::in_address, CURLAUTH_ANY};
    }
    if (single_sign_on_available) {
        return {ProxyAuth::Credentials::logon, CURLAUTH_NEGOTIATE | CURLAUTH_NTLM};
    }
    return {};
}

}  // namespace checker
