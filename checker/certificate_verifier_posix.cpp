// POSIX side of the certificate verifier: OpenSSL decides with libcurl's roots, from a callback
// of the same kind as the Windows one.
#include "checker/certificate_verifier.hpp"

#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace checker {
namespace {

// OpenSSL's certificate verification callback: OpenSSL's own verdict, given only while the run
// has time left (the Windows chain engine is bounded by the same deadline).
int verify_chain(X509_STORE_CTX* store_context, void* user) {
    VerifierContext& context = *static_cast<VerifierContext*>(user);
    if (context.deadline().expired()) {
        context.record_refusal("Certificate not checked within the time limit");
        X509_STORE_CTX_set_error(store_context, X509_V_ERR_APPLICATION_VERIFICATION);
        return 0;
    }
    return X509_verify_cert(store_context);
}

}  // namespace

bool system_certificate_verifier_exists() {
    return false;
}

namespace platform {

void install_certificate_verifier(void* ssl_context, VerifierContext& context) {
    SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(ssl_context), verify_chain, &context);
}

}  // namespace platform
}  // namespace checker
