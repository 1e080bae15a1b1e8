// Which trust decides about the server's certificate.
#include "checker/trust_choice.hpp"

namespace checker {

Trust choose_trust(const CheckerConfig& config, bool system_verifier_exists) {
    if (!config.curl_cainfo_filename.empty()) {
        return Trust::ca_file;
    }
    if (system_verifier_exists && config.curl_ssl_verifypeer && config.curl_crlfile_filename.empty()) {
        return Trust::system_verifier;
    }
    return Trust::system_roots;
}

}  // namespace checker
