// The proxy choice: the order of its sources, the no-proxy and bypass lists, and the trace text.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checker/proxy_choice.hpp"
#include "checker/url_text.hpp"

namespace checker {
namespace {

// A system with the given environment, Internet settings and script answers (by script URL;
// "" is automatic detection); it notes which lookups were made and with what time limit.
struct FakeSystem {
    std::map<std::string, std::string> environment;
    InternetSettings settings;
    std::map<std::string, std::optional<std::string>> answers;
    std::vector<std::string> asked;
    uint32_t longest_wait = 0;

    ProxySources sources() {
        ProxySources sources;
        sources.environment_variable = [this](const char* name) {
            const auto found = environment.find(name);
            return found == environment.end() ? std::string() : found->second;
        };
        sources.internet_settings = [this] { return settings; };
        sources.automatic_configuration = [this](const std::string&, const std::string& script, uint32_t millis) {
            asked.push_back(script);
            longest_wait = std::max(longest_wait, millis);
            const auto found = answers.find(script);
            return found == answers.end() ? std::nullopt : found->second;
        };
        return sources;
    }
};

CheckerConfig config_for(const std::string& url) {
    CheckerConfig config;
    config.remote_version_url = url;
    return config;
}

std::string choice_of(const CheckerConfig& config, FakeSystem& system) {
    const ProxyChoice choice = choose_proxy(config, system.sources(), RunDeadline(config.curl_timeout_millis));
    return (choice.proxy.empty() ? "direct" : choice.proxy) + " from " + choice.source;
}

TEST(ProxyChoice, ConfigThenEnvironmentThenInternetSettings) {
    CheckerConfig config = config_for("https://dm.example.com/dm.json");
    FakeSystem system;
    EXPECT_EQ(choice_of(config, system), "direct from none");

    system.settings.proxy = "http=web:80;https=secure:443";
    EXPECT_EQ(choice_of(config, system), "secure:443 from system fixed");
    system.settings.proxy_bypass = "<local>;*.EXAMPLE.com";
    EXPECT_EQ(choice_of(config, system), "direct from system fixed");

    system.environment = {{"HTTPS_PROXY", "http://upper:1"}, {"all_proxy", "http://all:2"}};
    EXPECT_EQ(choice_of(config, system), "http://upper:1 from environment");
    system.environment["https_proxy"] = "http://lower:3";
    EXPECT_EQ(choice_of(config, system), "http://lower:3 from environment");
    system.environment["NO_PROXY"] = "localhost, .example.com";
    EXPECT_EQ(choice_of(config, system), "direct from environment");

    config.curl_proxy = "http://configured:3128";
    EXPECT_EQ(choice_of(config, system), "http://configured:3128 from config") << "the configuration wins";
    config.curl_noproxy = "other.org";
    EXPECT_EQ(choice_of(config, system), "http://configured:3128 from config");
    config.curl_noproxy = "*";
    EXPECT_EQ(choice_of(config, system), "direct from config");
    EXPECT_TRUE(system.asked.empty()) << "no script is run while a fixed setting decides";
}

TEST(ProxyChoice, DetectionAndScriptAreAskedSeparatelyAndFailureMeansDirect) {
    const CheckerConfig config = config_for("https://dm.example.com/dm.json");
    FakeSystem system;
    system.settings.auto_detect = true;
    system.settings.auto_config_url = "http://wpad.example/proxy.pac";
    system.settings.proxy = "fixed:8080";
    EXPECT_EQ(choice_of(config, system), "direct from system script");
    EXPECT_EQ(system.asked, (std::vector<std::string>{"", "http://wpad.example/proxy.pac"}));
    EXPECT_LE(system.longest_wait, config.curl_timeout_millis);

    system.answers["http://wpad.example/proxy.pac"] = "script-proxy:3128; backup:3128";
    EXPECT_EQ(choice_of(config, system), "script-proxy:3128 from system script");
    system.answers[""] = "";
    EXPECT_EQ(choice_of(config, system), "direct from system detection") << "detection answered: go direct";
    system.answers[""] = "detected:8080";
    EXPECT_EQ(choice_of(config, system), "detected:8080 from system detection");

    system.settings.auto_config_url.clear();
    system.answers.clear();
    EXPECT_EQ(choice_of(config, system), "direct from system detection");
}

TEST(ProxyChoice, NoProxyListFollowsLibcurlsRules) {
    EXPECT_TRUE(no_proxy_list_matches("*", "anything.example"));
    EXPECT_FALSE(no_proxy_list_matches("", "anything.example"));
    EXPECT_FALSE(no_proxy_list_matches("*.example.com", "a.example.com")) << "no wildcards in libcurl's list";
    for (const char* list : {"example.com", ".example.com", "other, EXAMPLE.COM", "other example.com"}) {
        EXPECT_TRUE(no_proxy_list_matches(list, "example.com")) << list;
        EXPECT_TRUE(no_proxy_list_matches(list, "dm.Example.com.")) << list;
        EXPECT_FALSE(no_proxy_list_matches(list, "notexample.com")) << list;
        EXPECT_FALSE(no_proxy_list_matches(list, "example.com.evil")) << list;
    }
    EXPECT_TRUE(no_proxy_list_matches("127.0.0.1", "127.0.0.1"));
    EXPECT_FALSE(no_proxy_list_matches("0.0.1", "127.0.0.1")) << "addresses are not domain suffixes";
    EXPECT_TRUE(no_proxy_list_matches("10.0.0.0/8", "10.200.3.4"));
    EXPECT_FALSE(no_proxy_list_matches("10.0.0.0/8", "11.0.0.1"));
    EXPECT_TRUE(no_proxy_list_matches("192.168.1.77/0", "8.8.8.8"));
    EXPECT_FALSE(no_proxy_list_matches("10.0.0.0/33, 10.0.0.0/x", "10.0.0.1"));
    EXPECT_TRUE(no_proxy_list_matches("::1", "::1"));
}

TEST(ProxyChoice, BypassListHasWildcardsAndLocalNames) {
    EXPECT_TRUE(bypass_list_matches("<local>", "intranet"));
    EXPECT_FALSE(bypass_list_matches("<local>", "intranet.example"));
    EXPECT_FALSE(bypass_list_matches("<local>", "::1"));
    EXPECT_TRUE(bypass_list_matches("*.example.com", "dm.EXAMPLE.com"));
    EXPECT_FALSE(bypass_list_matches("*.example.com", "example.com")) << "exact entries are not suffixes";
    EXPECT_TRUE(bypass_list_matches("a.test;10.*", "10.1.2.3"));
    EXPECT_TRUE(bypass_list_matches("a.test, b*d.test", "bad.test"));
    EXPECT_TRUE(bypass_list_matches("https://*.corp", "dm.corp"));
    EXPECT_FALSE(bypass_list_matches("10.*", "110.0.0.1"));
    EXPECT_FALSE(bypass_list_matches("", "example.com"));
}

TEST(ProxyChoice, ListsUrlsAndTheTraceText) {
    EXPECT_EQ(https_proxy_from_list("proxy:3128"), "proxy:3128");
    EXPECT_EQ(https_proxy_from_list("ftp=f:21 http=h:80;HTTPS=s:443"), "s:443");
    EXPECT_EQ(https_proxy_from_list("http=h:80;ftp=f:21"), "") << "no entry for https: direct";
    EXPECT_EQ(https_proxy_from_list("  "), "");

    EXPECT_EQ(url_host("https://user:pw@DM.Example.com:8443/a@b?x"), "dm.example.com");
    EXPECT_EQ(url_host("https://[::1]:443/dm.json"), "::1");
    EXPECT_EQ(url_host("dm.example.com"), "dm.example.com");

    EXPECT_EQ(proxy_event({"", "none"}), "EVENT_PROXY direct, source: [none]");
    EXPECT_EQ(proxy_event({"http://u:p@127.0.0.1:3128", "environment"}),
              "EVENT_PROXY http://127.0.0.1:3128, source: [environment]");
}

}  // namespace
}  // namespace checker
