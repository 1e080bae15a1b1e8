// The system's own verdict on the certificate chain a TLS peer presents, in place of OpenSSL's.
//
// Platform seam: certificate_verifier_win32.cpp has the Windows chain engine decide (the roots
// Windows trusts, including those it fetches on demand, intermediates fetched from the
// certificate's Authority Information Access address, revocation, the administrator's
// distrust); certificate_verifier_posix.cpp has no system verifier, and OpenSSL decides with the
// roots libcurl gives it. Neither function throws.
#pragma once

#include <curl/curl.h>

namespace checker {

// Whether this system has a verifier of its own (Windows); without one the callback below is
// never installed.
bool system_certificate_verifier_exists();

// libcurl's CURLOPT_SSL_CTX_FUNCTION: installs the system verifier into each new OpenSSL context,
// the server's and an HTTPS proxy's alike. user (CURLOPT_SSL_CTX_DATA) is the CurlTransfer: what
// is left of its deadline bounds the verifier's network fetches, and the cause of a refused
// chain goes to its callback errors.
CURLcode install_system_certificate_verifier(CURL* curl, void* ssl_context, void* user);

}  // namespace checker
