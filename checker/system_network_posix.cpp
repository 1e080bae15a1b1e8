// POSIX side of the system's network settings: libcurl's default trust, no Internet settings.
#include "checker/system_network.hpp"

namespace checker {

long system_trust_ssl_options() {
    return 0;
}

InternetSettings current_user_internet_settings() {
    return {};
}

std::optional<std::string> proxy_from_automatic_configuration(const std::string& /*url*/,
                                                              const std::string& /*script_url*/,
                                                              uint32_t /*timeout_millis*/) {
    return std::nullopt;
}

bool proxy_single_sign_on_available() {
    return false;
}

}  // namespace checker
