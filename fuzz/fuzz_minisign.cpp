// Fuzz target: minisign public keys and signature files, and the whole signature check.
//
// The input is a public key line, then the signature file, then, after a line "--", the document
// that the signature is checked against. Keys and signatures that are taken must be the one
// canonical base64 text of their bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "checker/metadata_signature.hpp"
#include "checker/minisign.hpp"
#include "fuzz/fuzz_checks.hpp"
#include "support/checker_exception.hpp"

namespace {

std::string base64(const uint8_t* bytes, std::size_t size) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t index = 0; index < size; index += 3) {
        uint32_t group = static_cast<uint32_t>(bytes[index]) << 16;
        group |= index + 1 < size ? static_cast<uint32_t>(bytes[index + 1]) << 8 : 0;
        group |= index + 2 < size ? bytes[index + 2] : 0;
        text += alphabet[(group >> 18) & 63];
        text += alphabet[(group >> 12) & 63];
        text += index + 1 < size ? alphabet[(group >> 6) & 63] : '=';
        text += index + 2 < size ? alphabet[group & 63] : '=';
    }
    return text;
}

void check_key(const std::string& text) {
    checker::MinisignPublicKey key;
    try {
        key = checker::parse_minisign_public_key(text);
    } catch (const checker::CheckerException&) {
        return;
    }
    std::string bytes = "Ed";
    bytes.append(key.key_id.begin(), key.key_id.end());
    bytes.append(key.key.begin(), key.key.end());
    fuzz::require(base64(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) == text,
                  "a key is taken only in its canonical text", text);
}

void check_signature(const std::string& text) {
    checker::MinisignSignature signature;
    try {
        signature = checker::parse_minisign_signature(text);
    } catch (const checker::CheckerException&) {
        return;
    }
    std::string bytes = "ED";
    bytes.append(signature.key_id.begin(), signature.key_id.end());
    bytes.append(signature.signature.begin(), signature.signature.end());
    const std::string line = base64(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    const bool canonical =
        text.find("\n" + line + "\n") != std::string::npos || text.find("\n" + line + "\r\n") != std::string::npos;
    fuzz::require(canonical, "a signature is taken only in its canonical text", text);
    fuzz::require(signature.trusted_comment.find('\n') == std::string::npos, "the trusted comment is one line",
                  signature.trusted_comment);
    checker::trusted_comment_timestamp(signature.trusted_comment);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t key_end = input.find('\n');
    const std::string key = input.substr(0, key_end);
    const std::string rest = key_end == std::string::npos ? std::string() : input.substr(key_end + 1);
    const std::size_t separator = rest.find("\n--\n");
    const std::string signature = rest.substr(0, separator == std::string::npos ? rest.size() : separator + 1);
    const std::string document = separator == std::string::npos ? std::string() : rest.substr(separator + 4);

    check_key(key);
    check_signature(signature);

    checker::CheckerConfig config;
    config.metadata_public_keys = {key};
    // The seeds are signed as dm.json, so that they pass the file binding to the age limit.
    config.remote_version_url = "https://dm.example.invalid/dm.json";
    config.metadata_max_age_days = 3650;
    checker::Tracer tracer(true);
    checker::Blake2bHash hash;
    hash.update(document.data(), document.size());
    try {
        checker::check_metadata_signature(config, signature, hash.finish(), 1800000000, tracer);
    } catch (const checker::CheckerException&) {
    }
    return 0;
}
