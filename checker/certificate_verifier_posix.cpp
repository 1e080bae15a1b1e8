// POSIX side of the certificate verifier: none; OpenSSL decides with libcurl's roots.
#include "checker/certificate_verifier.hpp"

namespace checker {

bool system_certificate_verifier_exists() {
    return false;
}

CURLcode install_system_certificate_verifier(CURL* /*curl*/, void* /*ssl_context*/, void* /*user*/) {
    return CURLE_NOT_BUILT_IN;
}

}  // namespace checker
