// Minisign public keys and prehashed signatures: their text forms, BLAKE2b-512 and Ed25519.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include <openssl/evp.h>

#include "support/scoped_resource.hpp"

namespace checker {

using MinisignKeyId = std::array<uint8_t, 8>;
using Blake2bDigest = std::array<uint8_t, 64>;
using Ed25519Signature = std::array<uint8_t, 64>;

struct MinisignPublicKey {
    MinisignKeyId key_id{};
    std::array<uint8_t, 32> key{};
};

// A ".minisig" file of the prehashed kind ("ED"): the document signature covers the document's
// BLAKE2b-512 digest, the global signature covers document signature and trusted comment.
struct MinisignSignature {
    MinisignKeyId key_id{};
    Ed25519Signature signature{};
    std::string trusted_comment;
    Ed25519Signature global_signature{};
};

// The base64 text of "Ed", key id and Ed25519 key; throws with the reason for anything else.
MinisignPublicKey parse_minisign_public_key(const std::string& text);
// Four lines: "untrusted comment: ...", the signature, "trusted comment: ...", the global
// signature; \n or \r\n endings. Only the prehashed "ED" kind is taken: the legacy "Ed" signs the
// whole document, which would have to be kept until its end. Throws with the reason.
MinisignSignature parse_minisign_signature(const std::string& text);

// The key id as minisign shows it ("32D6A1AE2E29203"): the little-endian number in hex.
std::string minisign_key_id_text(const MinisignKeyId& key_id);
// The text after "name:" in the first tab-separated field of the trusted comment that begins so;
// none without such a field. minisign writes "timestamp:<unix seconds>\tfile:<file name>".
std::optional<std::string> trusted_comment_field(const std::string& trusted_comment, const std::string& name);
// The number after "timestamp:" in a tab-separated trusted comment; none when it is missing or
// not a plain decimal number.
std::optional<uint64_t> trusted_comment_timestamp(const std::string& trusted_comment);

// Ed25519 checks of both signatures with the signer's key.
bool document_signature_valid(const MinisignPublicKey& key, const MinisignSignature& signature,
                              const Blake2bDigest& digest);
bool trusted_comment_valid(const MinisignPublicKey& key, const MinisignSignature& signature);

struct EvpDigestContext {
    using Value = EVP_MD_CTX*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { EVP_MD_CTX_free(value); }
};

// BLAKE2b-512 of bytes that arrive in pieces.
class Blake2bHash {
public:
    // Throws when the library offers no BLAKE2b-512.
    Blake2bHash();
    void update(const char* data, std::size_t size);
    // The digest of everything passed to update; call once.
    Blake2bDigest finish();

private:
    ScopedResource<EvpDigestContext> context_;
};

}  // namespace checker
