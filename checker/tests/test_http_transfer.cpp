// Transfer pieces that need no server: the select wait, its failure bound, the size limits and
// the passing on along a proxy list.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checker/http_transfer.hpp"
#include "support/tests/failure_of.hpp"

namespace checker {
namespace {

TEST(SelectWait, WaitsNoLongerThanLibcurlAsksAndCapsOnlyTheSeconds) {
    EXPECT_EQ(select_wait_for(-1).seconds, 10);
    EXPECT_EQ(select_wait_for(-1).microseconds, 0);
    EXPECT_EQ(select_wait_for(0).seconds, 0) << "0 means: call libcurl now";
    EXPECT_EQ(select_wait_for(0).microseconds, 0);
    EXPECT_EQ(no_socket_sleep_millis(100, -1), 100U);
    EXPECT_EQ(no_socket_sleep_millis(100, 0), 0U);
    EXPECT_EQ(no_socket_sleep_millis(100, 1), 1U);
    EXPECT_EQ(no_socket_sleep_millis(100, 5000), 100U);
    EXPECT_EQ(select_wait_for(2500).seconds, 2);
    EXPECT_EQ(select_wait_for(2500).microseconds, 500000);
    EXPECT_EQ(select_wait_for(12345).seconds, 10);
    EXPECT_EQ(select_wait_for(12345).microseconds, 345000);
}

TEST(SelectFailureLimit, ThrowsOnlyForAnUnbrokenRun) {
    SelectFailureLimit limit(3);
    limit.record_failure(4);
    limit.record_failure(4);
    limit.reset();
    limit.record_failure(4);
    limit.record_failure(4);
    try {
        limit.record_failure(4);
        FAIL() << "the third failure in a row must end the transfer";
    } catch (const std::exception& failure) {
        EXPECT_EQ(std::string(failure.what()).rfind("'select' failed repeatedly, count: [3], error: [code: [4]", 0), 0U);
    }
}

class ReceiveDataTest : public ::testing::Test {
protected:
    ReceiveDataTest() {
        config.curl_max_bufsize_bytes = 100;
    }
    std::string failure_of_delivery(std::size_t size) {
        return support_test::failure_of(
            [&] { EXPECT_EQ(transfer.receive_data(std::string(size, ' ').data(), 1, size), size); });
    }
    CheckerConfig config;
    Tracer tracer{true};
    CurlGlobal global;
    CurlMulti multi{curl_multi_init()};
    CurlEasy easy{multi, curl_easy_init()};
    RunDeadline deadline{config.curl_timeout_millis};
    CurlTransfer transfer{config, tracer, deadline, multi, easy,
                          {"", "EVENT_URL", 250, "'max_response_size_bytes'", nullptr}};
};

TEST_F(ReceiveDataTest, EachDeliveryAndTheWholeResponseAreLimited) {
    EXPECT_EQ(failure_of_delivery(100), "");
    EXPECT_EQ(failure_of_delivery(101), "'curl_max_bufsize_bytes' exceeded: [101]");
    EXPECT_EQ(failure_of_delivery(100), "");
    EXPECT_EQ(failure_of_delivery(50), "");
    EXPECT_EQ(failure_of_delivery(1), "'max_response_size_bytes' exceeded: [251]");
}

TEST_F(ReceiveDataTest, CallbackErrorsJoinLineByLine) {
    transfer.record_callback_error("first");
    transfer.record_callback_error("");
    transfer.record_callback_error("second");
    EXPECT_EQ(transfer.callback_errors(), "first\nsecond");
}

// A script that names an unreachable proxy, then DIRECT: the transfer passes on to a direct
// connection (to a closed port too, so no server is needed: the failure names that port).
TEST(ProxyList, AProxyThatCannotBeConnectedToPassesOnToTheNextEntry) {
    CheckerConfig config;
    config.remote_version_url = "http://127.0.0.1:2/dm.json";
    config.curl_timeout_millis = 10000;
    ProxySources sources;
    sources.environment_variable = [](const char*) { return std::string(); };
    sources.internet_settings = [] {
        InternetSettings settings;
        settings.auto_config_url = "http://wpad.example/proxy.pac";
        return settings;
    };
    sources.automatic_configuration = [](const std::string&, const std::string&, uint32_t) {
        return std::optional<std::string>("PROXY 127.0.0.1:1; DIRECT");
    };
    Tracer tracer(true);
    const std::string failure = support_test::failure_of(
        [&] { load_json_from_url(config, tracer, RunDeadline(config.curl_timeout_millis), sources); });
    EXPECT_NE(failure.find("Failed to connect to 127.0.0.1 port 2"), std::string::npos) << failure;
    std::vector<std::string> proxy_lines;
    const char* key = nullptr;
    json_t* value = nullptr;
    json_object_foreach(tracer.events().get(), key, value) {
        const std::string event = json_string_value(value);
        if (event.find("proxy") != std::string::npos || event.find("PROXY") != std::string::npos) {
            proxy_lines.push_back(event);
        }
    }
    EXPECT_EQ(proxy_lines, (std::vector<std::string>{"EVENT_PROXY 127.0.0.1:1, source: [system script]",
                                                     "proxy not reachable: [Couldn't connect to server], next: [direct]"}));
}

}  // namespace
}  // namespace checker
