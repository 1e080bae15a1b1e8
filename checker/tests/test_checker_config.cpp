// Configuration keys: defaults, which JSON values are taken, and file-name resolution.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checker/checker_config.hpp"
#include "support/tests/failure_of.hpp"
#include "support/checker_exception.hpp"

namespace checker {
namespace {

CheckerConfig config_from(const std::string& text, const std::string& directory = "/opt/checker/") {
    json_error_t error{};
    return load_config(JsonHandle(json_loads(text.c_str(), 0, &error)), directory);
}

TEST(CheckerConfig, EmptyObjectGivesDefaults) {
    const CheckerConfig config = config_from("{}");
    EXPECT_EQ(config.remote_version_url, "");
    EXPECT_EQ(config.vendor_name, "quorvane");
    EXPECT_EQ(config.application_name, "update_checker");
    EXPECT_EQ(config.max_json_size_bytes, 32768U);
    EXPECT_FALSE(config.system_trace_enable);
    EXPECT_EQ(config.curl_accept_encoding, "gzip");
    EXPECT_EQ(config.curl_fdset_timeout_millis, 100U);
    EXPECT_TRUE(config.curl_force_http_10 && config.curl_ssl_verifyhost && config.curl_ssl_verifypeer);
    EXPECT_EQ(config.curl_timeout_millis, 120000U);
    EXPECT_EQ(config.max_response_size_bytes, 4194304U);
    EXPECT_EQ(config.curl_cainfo_filename, "");
}

TEST(CheckerConfig, OnlyValuesOfTheRightTypeAndRangeAreTaken) {
    EXPECT_EQ(config_from(R"({"curl_maxredirs": 4294967294})").curl_maxredirs, 4294967294U);
    for (const char* rejected : {"4294967295", "-1", "\"5\"", "5.0", "null"}) {
        EXPECT_EQ(config_from(std::string(R"({"curl_maxredirs": )") + rejected + "}").curl_maxredirs, 32U) << rejected;
    }
    EXPECT_FALSE(config_from(R"({"system_trace_enable": 1})").system_trace_enable);
    EXPECT_TRUE(config_from(R"({"system_trace_enable": true})").system_trace_enable);
    EXPECT_EQ(config_from(R"({"vendor_name": null})").vendor_name, "quorvane");
    EXPECT_EQ(config_from(R"({"Vendor_Name": "other"})").vendor_name, "quorvane");
    EXPECT_EQ(config_from(R"({"curl_timeout_millis": 0, "max_response_size_bytes": 10})").curl_timeout_millis, 0U);
}

TEST(CheckerConfig, RelativeFileNamesGoBelowTheExecutableDirectory) {
    const CheckerConfig config = config_from(
        R"({"curl_sslcert_filename": "certs/client.pem", "curl_sslkey_filename": "/etc/key.pem",
            "curl_cainfo_filename": "ca.pem", "curl_crlfile_filename": ""})");
    EXPECT_EQ(config.curl_sslcert_filename, "/opt/checker/certs/client.pem");
    EXPECT_EQ(config.curl_sslkey_filename, "/etc/key.pem");
    EXPECT_EQ(config.curl_cainfo_filename, "/opt/checker/ca.pem");
    EXPECT_EQ(config.curl_crlfile_filename, "");
}

TEST(CheckerConfig, WindowsAbsoluteFileNamesStayUnchanged) {
    for (const char* name : {"C:\\\\certs\\\\ca.pem", "c:/x", "\\\\\\\\server\\\\share\\\\ca.pem", "\\\\ca.pem"}) {
        const CheckerConfig config =
            config_from(std::string(R"({"curl_cainfo_filename": ")") + name + "\"}", "C:\\Program Files\\q\\");
        EXPECT_TRUE(is_absolute_file_name(config.curl_cainfo_filename)) << name;
        EXPECT_EQ(config.curl_cainfo_filename.find("Program Files"), std::string::npos) << name;
    }
    EXPECT_FALSE(is_absolute_file_name("ca.pem"));
    EXPECT_FALSE(is_absolute_file_name("1:ca.pem"));
    EXPECT_EQ(config_from(R"({"curl_cainfo_filename": "certs\\ca.pem"})", "C:\\q\\").curl_cainfo_filename,
              "C:\\q\\certs\\ca.pem");
}

TEST(CheckerConfig, KeysThatSwitchAProtectionOnAreOfTheirKindOrTheRunFails) {
    EXPECT_TRUE(config_from("{}").metadata_public_keys.empty());
    EXPECT_EQ(config_from(R"({"metadata_public_keys": ["a", "b"]})").metadata_public_keys,
              (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(config_from(R"({"metadata_max_age_days": 30})").metadata_max_age_days, 30U);
    EXPECT_EQ(config_from(R"({"metadata_max_age_days": 4294967294})").metadata_max_age_days, 4294967294U);
    EXPECT_EQ(config_from(R"({"curl_crlfile_filename": "crl.pem"})").curl_crlfile_filename, "/opt/checker/crl.pem");
    // A value dropped for the default would switch the protection off unseen.
    const std::string age_error = "error: [not a whole number from 1 to 4294967294]";
    const std::vector<std::pair<std::string, std::string>> refused = {
        {R"("metadata_public_keys": "a")", "error: [not an array]"},
        {R"("metadata_public_keys": [1])", "error: [not an array of texts]"},
        {R"("metadata_public_keys": ["a", null])", "error: [not an array of texts]"},
        {R"("metadata_public_keys": {})", "error: [not an array]"},
        {R"("metadata_public_keys": null)", "error: [not an array]"},
        {R"("metadata_max_age_days": "30")", age_error},
        {R"("metadata_max_age_days": 30.0)", age_error},
        {R"("metadata_max_age_days": -1)", age_error},
        {R"("metadata_max_age_days": 0)", age_error},
        {R"("metadata_max_age_days": 4294967295)", age_error},
        {R"("metadata_max_age_days": null)", age_error},
        {R"("curl_cainfo_filename": ["ca.pem"])", "error: [not a text]"},
        {R"("curl_crlfile_filename": 1)", "error: [not a text]"},
        {R"("curl_ssl_cipher_list": false)", "error: [not a text]"},
    };
    for (const auto& each : refused) {
        const std::string& member = each.first;
        const std::string key = member.substr(1, member.find('"', 1) - 1);
        EXPECT_EQ(support_test::failure_of([&] { config_from("{" + member + "}"); }),
                  "Invalid config value, key: [" + key + "], " + each.second)
            << member;
    }
}

TEST(CheckerConfig, PolicyAddressReplacesTheConfiguredOneOnlyWhenHttps) {
    const CheckerConfig config = config_from(R"({"remote_version_url": "https://configured.example/dm"})");
    EXPECT_EQ(config_under_policy(config, UpdatePolicy{}).remote_version_url, "https://configured.example/dm");
    for (const char* accepted : {"https://mirror.example/dm", "HTTPS://Mirror.example/dm"}) {
        UpdatePolicy policy;
        policy.update_check_url = accepted;
        EXPECT_EQ(config_under_policy(config, policy).remote_version_url, accepted);
    }
    for (const char* refused : {"http://mirror.example/dm", "mirror.example/dm", "", "https://", "ftp://m/dm",
                                " https://mirror.example/dm"}) {
        UpdatePolicy policy;
        policy.update_check_url = refused;
        try {
            config_under_policy(config, policy);
            ADD_FAILURE() << "accepted: " << refused;
        } catch (const CheckerException& failure) {
            EXPECT_EQ(std::string(failure.what()),
                      std::string("Policy value UpdateCheckUrl is not an https:// address, value: [") + refused + "]");
        }
    }
}

}  // namespace
}  // namespace checker
