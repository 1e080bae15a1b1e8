// The signature check of the downloaded document: which key, both signatures, the age.
#pragma once

#include <cstdint>
#include <string>

#include "checker/checker_config.hpp"
#include "checker/minisign.hpp"
#include "support/tracer.hpp"

namespace checker {

// metadata_signature_url, else remote_version_url with ".minisig" at the end of its path.
std::string metadata_signature_url(const CheckerConfig& config);

// Checks the signature text against the document's digest with the configured keys; the
// signature's key id picks the key. A trusted comment that names a file must name the last path
// segment of remote_version_url. now_seconds is the current Unix time for the age limit. Traces
// the key id, and the trusted comment once it is verified; throws with the cause on any failure.
void check_metadata_signature(const CheckerConfig& config, const std::string& signature_text,
                              const Blake2bDigest& digest, uint64_t now_seconds, Tracer& tracer);

}  // namespace checker
