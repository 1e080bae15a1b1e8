// Minisign public keys and prehashed signatures: their text forms, BLAKE2b-512 and Ed25519.
#include "checker/minisign.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

#include <openssl/err.h>

#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"

namespace checker {
namespace {

constexpr std::size_t public_key_size = 2 + 8 + 32;
constexpr std::size_t signature_size = 2 + 8 + 64;
const char untrusted_prefix[] = "untrusted comment: ";
const char trusted_prefix[] = "trusted comment: ";

struct EvpMessageDigest {
    using Value = EVP_MD*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { EVP_MD_free(value); }
};
struct EvpPublicKey {
    using Value = EVP_PKEY*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { EVP_PKEY_free(value); }
};

int base64_value(char letter) {
    if (letter >= 'A' && letter <= 'Z') {
        return letter - 'A';
    }
    if (letter >= 'a' && letter <= 'z') {
        return letter - 'a' + 26;
    }
    if (letter >= '0' && letter <= '9') {
        return letter - '0' + 52;
    }
    if (letter == '+') {
        return 62;
    }
    return letter == '/' ? 63 : -1;
}

// Strict base64: groups of four, padding only at the end, no spare bits set, nothing else.
std::vector<uint8_t> decode_base64(const std::string& text, const char* what) {
    const auto fail = [&](const char* reason) {
        return CheckerException(std::string(what) + " is not base64, error: [" + reason + "]");
    };
    if (text.empty() || text.size() % 4 != 0) {
        throw fail("length not a multiple of four");
    }
    std::size_t padding = 0;
    while (padding < 2 && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    std::vector<uint8_t> bytes;
    uint32_t bits = 0;
    int bit_count = 0;
    for (std::size_t index = 0; index < text.size() - padding; ++index) {
        const int value = base64_value(text[index]);
        if (value < 0) {
            throw fail("character outside the alphabet");
        }
        bits = (bits << 6) | static_cast<uint32_t>(value);
        bit_count += 6;
        if (bit_count >= 8) {
            bit_count -= 8;
            bytes.push_back(static_cast<uint8_t>(bits >> bit_count));
            bits &= (1U << bit_count) - 1;
        }
    }
    if (bits != 0) {
        throw fail("spare bits set");
    }
    return bytes;
}

void require_size(const std::vector<uint8_t>& bytes, std::size_t size, const char* what) {
    if (bytes.size() != size) {
        throw CheckerException(std::string(what) + " has the wrong length, bytes: [" +
                               to_string(static_cast<uint64_t>(bytes.size())) + "], expected: [" +
                               to_string(static_cast<uint64_t>(size)) + "]");
    }
}

// The two-letter algorithm at the start, shown printable in a message.
std::string algorithm_text(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (std::size_t index = 0; index < 2 && index < bytes.size(); ++index) {
        const auto letter = static_cast<char>(bytes[index]);
        text += (letter >= 0x21 && letter <= 0x7e) ? letter : '?';
    }
    return text;
}

template <std::size_t Size>
void copy_bytes(std::array<uint8_t, Size>& target, const std::vector<uint8_t>& bytes, std::size_t offset) {
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), Size, target.begin());
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool starts_with(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool ed25519_valid(const std::array<uint8_t, 32>& key, const uint8_t* message, std::size_t size,
                   const Ed25519Signature& signature) {
    const ScopedResource<EvpPublicKey> public_key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()));
    const ScopedResource<EvpDigestContext> context(EVP_MD_CTX_new());
    if (!public_key.valid() || !context.valid() ||
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, public_key.get()) != 1) {
        ERR_clear_error();
        throw CheckerException("Cannot set up Ed25519 verification");
    }
    const bool valid = EVP_DigestVerify(context.get(), signature.data(), signature.size(), message, size) == 1;
    // A refused signature leaves its reason queued; libcurl must not find it later.
    ERR_clear_error();
    return valid;
}

}  // namespace

MinisignPublicKey parse_minisign_public_key(const std::string& text) {
    const std::vector<uint8_t> bytes = decode_base64(text, "Public key");
    require_size(bytes, public_key_size, "Public key");
    if (bytes[0] != 'E' || bytes[1] != 'd') {
        throw CheckerException("Public key of an unknown algorithm: [" + algorithm_text(bytes) + "]");
    }
    MinisignPublicKey key;
    copy_bytes(key.key_id, bytes, 2);
    copy_bytes(key.key, bytes, 10);
    return key;
}

MinisignSignature parse_minisign_signature(const std::string& text) {
    std::vector<std::string> lines = split_lines(text);
    while (lines.size() > 4 && lines.back().empty()) {
        lines.pop_back();
    }
    if (lines.size() != 4) {
        const auto count = static_cast<uint64_t>(lines.size());
        throw CheckerException("Signature is not four lines, lines: [" + to_string(count) + "]");
    }
    if (!starts_with(lines[0], untrusted_prefix)) {
        throw CheckerException("Signature lacks its untrusted comment line");
    }
    if (!starts_with(lines[2], trusted_prefix)) {
        throw CheckerException("Signature lacks its trusted comment line");
    }
    const std::vector<uint8_t> bytes = decode_base64(lines[1], "Signature");
    require_size(bytes, signature_size, "Signature");
    if (bytes[0] != 'E' || bytes[1] != 'D') {
        throw CheckerException("Signature of an unsupported algorithm: [" + algorithm_text(bytes) +
                               "], only the prehashed \"ED\" is taken");
    }
    const std::vector<uint8_t> global = decode_base64(lines[3], "Global signature");
    require_size(global, 64, "Global signature");

    MinisignSignature signature;
    copy_bytes(signature.key_id, bytes, 2);
    copy_bytes(signature.signature, bytes, 10);
    signature.trusted_comment = lines[2].substr(std::strlen(trusted_prefix));
    copy_bytes(signature.global_signature, global, 0);
    return signature;
}

std::string minisign_key_id_text(const MinisignKeyId& key_id) {
    uint64_t number = 0;
    for (std::size_t index = key_id.size(); index > 0; --index) {
        number = (number << 8) | key_id[index - 1];
    }
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), digits[number & 0xf]);
        number >>= 4;
    } while (number != 0);
    return text;
}

std::optional<std::string> trusted_comment_field(const std::string& trusted_comment, const std::string& name) {
    const std::string prefix = name + ":";
    std::size_t start = 0;
    while (start <= trusted_comment.size()) {
        std::size_t end = trusted_comment.find('\t', start);
        if (end == std::string::npos) {
            end = trusted_comment.size();
        }
        if (trusted_comment.compare(start, prefix.size(), prefix) == 0) {
            return trusted_comment.substr(start + prefix.size(), end - start - prefix.size());
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<uint64_t> trusted_comment_timestamp(const std::string& trusted_comment) {
    const std::optional<std::string> digits = trusted_comment_field(trusted_comment, "timestamp");
    // At most 19 digits: every such number fits in 64 bits.
    if (!digits || digits->empty() || digits->size() > 19 ||
        !std::all_of(digits->begin(), digits->end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char digit : *digits) {
        value = value * 10 + static_cast<uint64_t>(digit - '0');
    }
    return value;
}

bool document_signature_valid(const MinisignPublicKey& key, const MinisignSignature& signature,
                              const Blake2bDigest& digest) {
    return ed25519_valid(key.key, digest.data(), digest.size(), signature.signature);
}

bool trusted_comment_valid(const MinisignPublicKey& key, const MinisignSignature& signature) {
    std::vector<uint8_t> message(signature.signature.begin(), signature.signature.end());
    message.insert(message.end(), signature.trusted_comment.begin(), signature.trusted_comment.end());
    return ed25519_valid(key.key, message.data(), message.size(), signature.global_signature);
}

Blake2bHash::Blake2bHash() : context_(EVP_MD_CTX_new()) {
    const ScopedResource<EvpMessageDigest> algorithm(EVP_MD_fetch(nullptr, "BLAKE2B-512", nullptr));
    if (!context_.valid() || !algorithm.valid() || EVP_DigestInit_ex(context_.get(), algorithm.get(), nullptr) != 1) {
        ERR_clear_error();
        throw CheckerException("Cannot set up BLAKE2b-512");
    }
}

void Blake2bHash::update(const char* data, std::size_t size) {
    if (EVP_DigestUpdate(context_.get(), data, size) != 1) {
        ERR_clear_error();
        throw CheckerException("BLAKE2b-512 update failed");
    }
}

Blake2bDigest Blake2bHash::finish() {
    Blake2bDigest digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context_.get(), digest.data(), &size) != 1 || size != digest.size()) {
        ERR_clear_error();
        throw CheckerException("BLAKE2b-512 finish failed");
    }
    return digest;
}

}  // namespace checker
