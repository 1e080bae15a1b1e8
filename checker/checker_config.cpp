// The checker's settings from config.json, each with its built-in default.
#include "checker/checker_config.hpp"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "checker/text_tokens.hpp"
#include "checker/url_text.hpp"
#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"

namespace checker {
namespace {

class ConfigReader {
public:
    explicit ConfigReader(const JsonHandle& document) : document_(document) {}

    void text(const char* key, std::string& field) const {
        // Copied through a temporary: on fallback the getter returns the default's own text.
        field = std::string(get_string_field(document_, key, field));
    }
    void number(const char* key, uint32_t& field) const {
        field = get_uint32_field(document_, key, field);
    }
    void flag(const char* key, bool& field) const {
        field = get_bool_field(document_, key, field);
    }

    // The keys that switch a protection on take no default for a wrong value: present, the value
    // must be of the key's kind, else the run fails, as a value dropped for the default would
    // leave the protection off unseen.
    void required_texts(const char* key, std::vector<std::string>& field) const {
        const json_t* value = json_object_get(document_.get(), key);
        if (value == nullptr) {
            return;
        }
        if (!json_is_array(value)) {
            throw invalid_value(key, "not an array");
        }
        std::vector<std::string> items;
        for (std::size_t index = 0; index < json_array_size(value); ++index) {
            const json_t* item = json_array_get(value, index);
            if (!json_is_string(item)) {
                throw invalid_value(key, "not an array of texts");
            }
            items.emplace_back(json_string_value(item), json_string_length(item));
        }
        field = std::move(items);
    }
    void required_text(const char* key, std::string& field) const {
        const json_t* value = json_object_get(document_.get(), key);
        if (value != nullptr && !json_is_string(value)) {
            throw invalid_value(key, "not a text");
        }
        text(key, field);
    }
    void required_number(const char* key, uint32_t& field, uint32_t minimum) const {
        const json_t* value = json_object_get(document_.get(), key);
        if (value == nullptr) {
            return;
        }
        // The range the other numbers of the configuration are taken from.
        constexpr uint32_t largest = UINT32_MAX - 1;
        const json_int_t number = json_is_integer(value) ? json_integer_value(value) : -1;
        if (number < static_cast<json_int_t>(minimum) || number > static_cast<json_int_t>(largest)) {
            throw invalid_value(key, "not a whole number from " + to_string(minimum) + " to " + to_string(largest));
        }
        field = static_cast<uint32_t>(number);
    }

private:
    static CheckerException invalid_value(const char* key, const std::string& error) {
        return CheckerException("Invalid config value, key: [" + std::string(key) + "], error: [" + error + "]");
    }

    const JsonHandle& document_;
};

void resolve_file_name(std::string& name, const std::string& executable_directory) {
    if (!name.empty() && !is_absolute_file_name(name)) {
        name = executable_directory + name;
    }
}

}  // namespace

bool is_absolute_file_name(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    if (name[0] == '/' || name[0] == '\\') {
        return true;
    }
    const char drive = name[0];
    const bool drive_letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    return drive_letter && name.size() >= 2 && name[1] == ':';
}

CheckerConfig load_config(const JsonHandle& document, const std::string& executable_directory) {
    CheckerConfig config;
    const ConfigReader read(document);
    read.text("remote_version_url", config.remote_version_url);
    read.number("max_json_size_bytes", config.max_json_size_bytes);
    read.text("version_filename", config.version_filename);
    read.number("max_path_length", config.max_path_length);
    read.text("vendor_name", config.vendor_name);
    read.text("application_name", config.application_name);
    read.number("curl_max_connects", config.curl_max_connects);
    read.number("curl_max_bufsize_bytes", config.curl_max_bufsize_bytes);
    read.number("curl_fdset_timeout_millis", config.curl_fdset_timeout_millis);
    read.flag("curl_force_http_10", config.curl_force_http_10);
    read.flag("curl_noprogress", config.curl_noprogress);
    read.flag("curl_nosignal", config.curl_nosignal);
    read.flag("curl_tcp_nodelay", config.curl_tcp_nodelay);
    read.number("curl_connecttimeout_millis", config.curl_connecttimeout_millis);
    read.number("curl_buffersize_bytes", config.curl_buffersize_bytes);
    read.text("curl_accept_encoding", config.curl_accept_encoding);
    read.flag("curl_followlocation", config.curl_followlocation);
    read.number("curl_maxredirs", config.curl_maxredirs);
    read.text("curl_useragent", config.curl_useragent);
    read.number("curl_max_sent_speed_large_bytes_per_second", config.curl_max_sent_speed_large_bytes_per_second);
    read.number("curl_max_recv_speed_large_bytes_per_second", config.curl_max_recv_speed_large_bytes_per_second);
    read.text("curl_sslcert_filename", config.curl_sslcert_filename);
    read.text("curl_sslcertype", config.curl_sslcertype);
    read.text("curl_sslkey_filename", config.curl_sslkey_filename);
    read.text("curl_ssl_key_type", config.curl_ssl_key_type);
    read.text("curl_ssl_keypasswd", config.curl_ssl_keypasswd);
    read.flag("curl_require_tls", config.curl_require_tls);
    read.flag("curl_ssl_verifyhost", config.curl_ssl_verifyhost);
    read.flag("curl_ssl_verifypeer", config.curl_ssl_verifypeer);
    read.required_text("curl_cainfo_filename", config.curl_cainfo_filename);
    read.required_text("curl_crlfile_filename", config.curl_crlfile_filename);
    read.required_text("curl_ssl_cipher_list", config.curl_ssl_cipher_list);
    read.text("curl_proxy", config.curl_proxy);
    read.text("curl_noproxy", config.curl_noproxy);
    read.text("curl_proxy_username", config.curl_proxy_username);
    read.text("curl_proxy_password", config.curl_proxy_password);
    read.flag("system_trace_enable", config.system_trace_enable);
    read.number("curl_timeout_millis", config.curl_timeout_millis);
    read.number("max_response_size_bytes", config.max_response_size_bytes);
    read.required_texts("metadata_public_keys", config.metadata_public_keys);
    read.text("metadata_signature_url", config.metadata_signature_url);
    // 0 would take any age: a limit that is written down is one.
    read.required_number("metadata_max_age_days", config.metadata_max_age_days, 1);
    read.number("min_check_interval_minutes", config.min_check_interval_minutes);

    resolve_file_name(config.curl_sslcert_filename, executable_directory);
    resolve_file_name(config.curl_sslkey_filename, executable_directory);
    resolve_file_name(config.curl_cainfo_filename, executable_directory);
    resolve_file_name(config.curl_crlfile_filename, executable_directory);
    return config;
}

CheckerConfig config_under_policy(CheckerConfig config, const UpdatePolicy& policy) {
    if (policy.update_check_url) {
        const std::string& url = *policy.update_check_url;
        // The scheme is case-insensitive; anything but HTTPS would let the answer be changed on the way.
        if (!starts_with(lower_case(url), "https://") || url.size() == 8) {
            throw CheckerException("Policy value UpdateCheckUrl is not an https:// address, value: [" +
                                   without_user_info(url) + "]");
        }
        config.remote_version_url = url;
    }
    if (policy.check_interval_minutes) {
        config.min_check_interval_minutes = *policy.check_interval_minutes;
    }
    return config;
}

}  // namespace checker
