// The preparation of every TLS context of a run, and the verifier's context.
#include "checker/certificate_verifier.hpp"

#include <openssl/ssl.h>

#include "support/diagnostic_text.hpp"

namespace checker {

void VerifierContext::record_refusal(const std::string& text) noexcept {
    try {
        append_failure_line(refusals_, text);
    } catch (...) {
    }
}

std::string VerifierContext::take_refusals() {
    std::string taken;
    taken.swap(refusals_);
    return taken;
}

CURLcode prepare_tls_context(CURL* /*curl*/, void* ssl_context, void* user) {
    // A renegotiation is a second handshake in the middle of a transfer, possibly a later one on
    // a reused connection; the checker never needs one, and refusing it keeps a peer from
    // presenting another certificate after the first was judged.
    SSL_CTX_set_options(static_cast<SSL_CTX*>(ssl_context), SSL_OP_NO_RENEGOTIATION);
    platform::install_certificate_verifier(ssl_context, *static_cast<VerifierContext*>(user));
    return CURLE_OK;
}

}  // namespace checker
