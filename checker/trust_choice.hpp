// Which trust decides about the server's certificate: a pure function of the configuration and
// what the platform offers, applied by the transfer.
#pragma once

#include "checker/checker_config.hpp"

namespace checker {

enum class Trust {
    ca_file,          // curl_cainfo_filename, and nothing besides it
    system_verifier,  // the system's own verifier (the Windows chain engine)
    system_roots,     // OpenSSL with the system's roots (libcurl's default bundle on Linux)
};

// The CA file when one is configured; otherwise the system's verifier where there is one, unless
// peers are not verified or a revocation list is configured (a list only OpenSSL reads: the
// system's verifier would skip it); otherwise the system's roots.
Trust choose_trust(const CheckerConfig& config, bool system_verifier_exists);

}  // namespace checker
