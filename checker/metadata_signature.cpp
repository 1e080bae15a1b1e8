// The signature check of the downloaded document: which key, both signatures, the age.
#include "checker/metadata_signature.hpp"

#include <exception>
#include <optional>

#include "checker/url_text.hpp"
#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"
#include "support/text_conversion.hpp"

namespace checker {
namespace {

constexpr uint64_t seconds_per_day = 86400;

// The configured key with the signature's key id; none when no key has it.
std::optional<MinisignPublicKey> signer_key(const CheckerConfig& config, const MinisignKeyId& key_id) {
    for (const std::string& text : config.metadata_public_keys) {
        MinisignPublicKey key;
        try {
            key = parse_minisign_public_key(text);
        } catch (const std::exception& failure) {
            throw CheckerException("metadata public key cannot be read, key: [" + text + "], error: [" +
                                   failure.what() + "]");
        }
        if (key.key_id == key_id) {
            return key;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string metadata_signature_url(const CheckerConfig& config) {
    return config.metadata_signature_url.empty() ? url_with_path_suffix(config.remote_version_url, ".minisig")
                                                 : config.metadata_signature_url;
}

void check_metadata_signature(const CheckerConfig& config, const std::string& signature_text,
                              const Blake2bDigest& digest, uint64_t now_seconds, Tracer& tracer) {
    MinisignSignature signature;
    try {
        signature = parse_minisign_signature(signature_text);
    } catch (const std::exception& failure) {
        throw CheckerException("metadata signature cannot be read, error: [" + std::string(failure.what()) + "]");
    }
    const std::string key_id = minisign_key_id_text(signature.key_id);
    tracer.add("metadata signature key id: [" + key_id + "]");

    const std::optional<MinisignPublicKey> key = signer_key(config, signature.key_id);
    if (!key) {
        throw CheckerException("metadata signed by an unknown key, key id: [" + key_id + "]");
    }
    if (!document_signature_valid(*key, signature, digest)) {
        throw CheckerException("metadata signature does not match, key id: [" + key_id + "]");
    }
    if (!trusted_comment_valid(*key, signature)) {
        throw CheckerException("metadata signature does not match its trusted comment, key id: [" + key_id + "]");
    }
    // Traced only now that the key vouches for it; shown with any broken UTF-8 replaced, so
    // that tracing never fails the check.
    tracer.add("metadata signature trusted comment: [" + narrow(widen(signature.trusted_comment)) + "]");
    // minisign names the signed file: a signature for another document at another address (of
    // another product signed with the same key) does not vouch for this one.
    const std::optional<std::string> signed_file = trusted_comment_field(signature.trusted_comment, "file");
    const std::string document_file = url_file_name(config.remote_version_url);
    if (signed_file && *signed_file != document_file) {
        throw CheckerException("metadata signature is for another file: [" + narrow(widen(*signed_file)) +
                               "], expected: [" + document_file + "]");
    }
    if (config.metadata_max_age_days != 0) {
        // Without a timestamp the age is unknown: with a limit set, that is refused too.
        const std::optional<uint64_t> timestamp = trusted_comment_timestamp(signature.trusted_comment);
        const uint64_t max_age_seconds = config.metadata_max_age_days * seconds_per_day;
        if (!timestamp) {
            throw CheckerException("metadata signature too old, timestamp: [none], max age days: [" +
                                   to_string(config.metadata_max_age_days) + "]");
        }
        if (*timestamp < now_seconds && now_seconds - *timestamp > max_age_seconds) {
            throw CheckerException("metadata signature too old, timestamp: [" + to_string(*timestamp) +
                                   "], max age days: [" + to_string(config.metadata_max_age_days) + "]");
        }
    }
    tracer.add("metadata signature verified, key id: [" + key_id + "]");
}

}  // namespace checker
