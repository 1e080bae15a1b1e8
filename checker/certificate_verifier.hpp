// Every TLS context of a run is prepared in one place: renegotiation is refused, and a
// verification callback is installed that decides about the peer's certificate chain.
//
// Platform seam: certificate_verifier_win32.cpp has the Windows chain engine decide (the roots
// Windows trusts, including those it fetches on demand, intermediates fetched from the
// certificate's Authority Information Access address, revocation, the administrator's
// distrust) when the trust choice says so, and otherwise leaves OpenSSL's own verification in
// place; certificate_verifier_posix.cpp has OpenSSL decide with the roots libcurl gives it, from
// a callback of the same kind, so that the context's lifetime is exercised on every platform.
#pragma once

#include <string>

#include <curl/curl.h>

#include "checker/run_deadline.hpp"

namespace checker {

// What the verification callback reads and writes during a handshake. libcurl keeps a
// connection, and the OpenSSL context the callback belongs to, in the multi handle's cache and
// reuses it for a later transfer, so the run's download owns one context that outlives the multi
// handle; a transfer only reads the refusals recorded while it ran.
class VerifierContext {
public:
    // system_decides: the system's verifier judges the chain (Windows without a CA file).
    VerifierContext(const RunDeadline& deadline, bool checks_host_name, bool system_decides)
        : deadline_(deadline), checks_host_name_(checks_host_name), system_decides_(system_decides) {}
    VerifierContext(const VerifierContext&) = delete;
    VerifierContext& operator=(const VerifierContext&) = delete;

    // What is left of it bounds the verifier's network fetches.
    const RunDeadline& deadline() const { return deadline_; }
    // Whether the certificate must name the host (curl_ssl_verifyhost).
    bool checks_host_name() const { return checks_host_name_; }
    bool system_decides() const { return system_decides_; }

    // Why a chain was refused, one line each; never throws (called from OpenSSL's callback).
    void record_refusal(const std::string& text) noexcept;
    // The refusals recorded so far, cleared.
    std::string take_refusals();

private:
    const RunDeadline& deadline_;
    bool checks_host_name_;
    bool system_decides_;
    std::string refusals_;
};

// Whether this system has a verifier of its own (Windows).
bool system_certificate_verifier_exists();

// libcurl's CURLOPT_SSL_CTX_FUNCTION for every new OpenSSL context, the server's and an HTTPS
// proxy's alike; user (CURLOPT_SSL_CTX_DATA) is the run's VerifierContext. Never throws.
CURLcode prepare_tls_context(CURL* curl, void* ssl_context, void* user);

namespace platform {
// Installs the platform's verification callback into the OpenSSL context.
void install_certificate_verifier(void* ssl_context, VerifierContext& context);
}  // namespace platform

}  // namespace checker
