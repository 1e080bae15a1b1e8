// The checker's settings from config.json, each with its built-in default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/json_helpers.hpp"
#include "support/update_policy.hpp"

namespace checker {

struct CheckerConfig {
    std::string remote_version_url;
    uint32_t max_json_size_bytes = 32768;
    std::string version_filename;
    uint32_t max_path_length = 1024;
    std::string vendor_name = "quorvane";
    std::string application_name = "update_checker";
    uint32_t curl_max_connects = 1;
    uint32_t curl_max_bufsize_bytes = 32768;
    uint32_t curl_fdset_timeout_millis = 100;
    bool curl_force_http_10 = true;
    bool curl_noprogress = true;
    bool curl_nosignal = true;
    bool curl_tcp_nodelay = false;
    uint32_t curl_connecttimeout_millis = 10000;
    uint32_t curl_buffersize_bytes = 16384;
    std::string curl_accept_encoding = "gzip";
    bool curl_followlocation = true;
    uint32_t curl_maxredirs = 32;
    std::string curl_useragent;
    uint32_t curl_max_sent_speed_large_bytes_per_second = 0;
    uint32_t curl_max_recv_speed_large_bytes_per_second = 0;
    std::string curl_sslcert_filename;
    std::string curl_sslcertype;
    std::string curl_sslkey_filename;
    std::string curl_ssl_key_type;
    std::string curl_ssl_keypasswd;
    bool curl_require_tls = true;
    bool curl_ssl_verifyhost = true;
    bool curl_ssl_verifypeer = true;
    std::string curl_cainfo_filename;
    std::string curl_crlfile_filename;
    std::string curl_ssl_cipher_list;
    // The proxy: empty takes the environment's, then the system's settings.
    std::string curl_proxy;
    // Hosts reached directly (libcurl's no-proxy list); "*" ignores every proxy setting.
    std::string curl_noproxy;
    std::string curl_proxy_username;
    std::string curl_proxy_password;
    bool system_trace_enable = false;
    // Limit on the whole transfer, so a stalled or endless response cannot hold the run.
    uint32_t curl_timeout_millis = 120000;
    // Limit on all response bytes after content decoding, so no response grows without bound.
    uint32_t max_response_size_bytes = 4194304;
    // Minisign public keys (base64 text); any key makes the document's signature required.
    std::vector<std::string> metadata_public_keys;
    // Where the signature is; empty means remote_version_url followed by ".minisig".
    std::string metadata_signature_url;
    // The oldest signature timestamp taken, in days; 0 (the key left out) takes any age.
    uint32_t metadata_max_age_days = 0;
    // No request within this many minutes of the last successful check; 0 checks at every run.
    uint32_t min_check_interval_minutes = 0;
};

// Takes each key that has an accepted value; every other key keeps its default. Relative
// certificate, key, CA and CRL file names are put below the executable directory, which
// ends in its separator. The keys that switch a protection on are the exception: present, each
// must be of its kind, else this throws naming the key, because a value silently dropped would
// turn the protection off: metadata_public_keys an array of texts, metadata_max_age_days a whole
// number from 1, curl_cainfo_filename, curl_crlfile_filename and curl_ssl_cipher_list texts.
CheckerConfig load_config(const JsonHandle& document, const std::string& executable_directory);

// The configuration the checks run with: the policy's UpdateCheckUrl, when set, replaces
// remote_version_url, its CheckIntervalMinutes min_check_interval_minutes. Throws when that address is not an https:// address.
CheckerConfig config_under_policy(CheckerConfig config, const UpdatePolicy& policy);

// True for "/x", "\x", "\\server\share" and drive paths such as "C:\x" or "C:/x".
bool is_absolute_file_name(const std::string& name);

}  // namespace checker
