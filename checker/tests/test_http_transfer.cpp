// Transfer pieces that need no server: the select wait, its failure bound, the size limits and
// the passing on along a proxy list.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checker/http_transfer.hpp"
#include "checker/transfer_outcome.hpp"
#include "checker/trust_choice.hpp"
#include "support/posix_handles.hpp"
#include "support/scoped_resource.hpp"
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
    VerifierContext verifier{deadline, true, false};
    CurlTransfer transfer{config, tracer, deadline, verifier, multi, easy,
                          {"", "EVENT_URL", 250, "'max_response_size_bytes'", nullptr}};
};

TEST_F(ReceiveDataTest, EachDeliveryAndTheWholeResponseAreLimited) {
    EXPECT_EQ(failure_of_delivery(100), "");
    EXPECT_EQ(failure_of_delivery(101), "'curl_max_bufsize_bytes' exceeded: [101]");
    EXPECT_EQ(failure_of_delivery(100), "");
    EXPECT_EQ(failure_of_delivery(50), "");
    EXPECT_EQ(failure_of_delivery(1), "'max_response_size_bytes' exceeded: [251]");
}

// The trace shows the start of the response once, however many deliveries it came in.
TEST(ReceivedResponse, IsTracedOnceAndCutWithItsSize) {
    const struct {
        std::size_t deliveries;
        std::size_t delivery_size;
        std::size_t shown;
        bool cut;
    } cases[] = {{3, 10, 30, false}, {1, traced_response_limit, traced_response_limit, false},
                 {100, 1000, traced_response_limit, true}};
    for (const auto& each : cases) {
        CheckerConfig config;
        config.curl_max_bufsize_bytes = 1U << 20;
        Tracer tracer(true);
        {
            const CurlGlobal global;
            CurlMulti multi(curl_multi_init());
            CurlEasy easy(multi, curl_easy_init());
            const RunDeadline deadline(config.curl_timeout_millis);
            VerifierContext verifier(deadline, true, false);
            CurlTransfer transfer(config, tracer, deadline, verifier, multi, easy,
                                  {"", "EVENT_URL", 1U << 20, "'max_response_size_bytes'", nullptr});
            for (std::size_t index = 0; index < each.deliveries; ++index) {
                const std::string piece(each.delivery_size, static_cast<char>('a' + index % 26));
                transfer.receive_data(piece.data(), 1, piece.size());
            }
        }
        std::vector<std::string> responses;
        std::vector<std::string> cut_notes;
        const char* key = nullptr;
        json_t* value = nullptr;
        json_object_foreach(tracer.events().get(), key, value) {
            const std::string event = json_string_value(value);
            if (event.rfind("EVENT_RESPONSE ", 0) == 0) {
                responses.push_back(event.substr(15));
            } else if (event.rfind("response shown cut", 0) == 0) {
                cut_notes.push_back(event);
            }
        }
        ASSERT_EQ(responses.size(), 1u);
        EXPECT_EQ(responses[0].size(), each.shown);
        EXPECT_EQ(responses[0].substr(0, each.delivery_size), std::string(each.delivery_size, 'a'));
        const std::string total = std::to_string(each.deliveries * each.delivery_size);
        EXPECT_EQ(cut_notes, each.cut ? std::vector<std::string>{"response shown cut, size: [" + total +
                                                                 "], shown: [65536]"}
                                      : std::vector<std::string>{});
    }
}

// What follows a transfer's end: only a proxy that took no connection, while time and entries
// are left, is passed over; everything else ends the transfer as it came.
TEST(TransferOutcome, OnlyAnUnreachableProxyIsPassedOver) {
    const struct {
        CURLcode result;
        bool headers;
        int32_t status;
        bool expired;
        bool proxy_left;
        TransferNext next;
        bool conditional = false;
    } cases[] = {
        {CURLE_COULDNT_CONNECT, false, -1, false, true, TransferNext::next_proxy},
        {CURLE_COULDNT_RESOLVE_PROXY, false, -1, false, true, TransferNext::next_proxy},
        {CURLE_OPERATION_TIMEDOUT, false, -1, false, true, TransferNext::next_proxy},  // the connect time-out
        {CURLE_OPERATION_TIMEDOUT, false, -1, true, true, TransferNext::no_response},  // the run's deadline
        {CURLE_COULDNT_CONNECT, false, -1, true, true, TransferNext::no_response},
        {CURLE_COULDNT_CONNECT, false, -1, false, false, TransferNext::no_response},
        {CURLE_PEER_FAILED_VERIFICATION, false, -1, false, true, TransferNext::no_response},
        {CURLE_OPERATION_TIMEDOUT, true, 200, false, true, TransferNext::body_handed_on},  // cut off mid-body
        {CURLE_OK, true, 200, false, false, TransferNext::body_handed_on},
        {CURLE_OK, true, 404, false, true, TransferNext::error_status},
        {CURLE_OK, false, -1, false, false, TransferNext::no_response},
        // A 304 means "nothing new" only to a request that carried validators.
        {CURLE_OK, true, 304, false, false, TransferNext::not_modified, true},
        {CURLE_OK, true, 304, false, false, TransferNext::body_handed_on, false},
        {CURLE_OK, true, 200, false, false, TransferNext::body_handed_on, true},
    };
    for (const auto& each : cases) {
        const TransferEnd end{each.result, each.headers, each.status, each.expired, each.proxy_left, each.conditional};
        EXPECT_EQ(next_after_transfer(end), each.next)
            << each.result << " " << each.headers << " " << each.status << " " << each.expired << " " << each.proxy_left;
    }
}

// Which trust decides: a CA file alone, else the system's verifier where there is one and
// OpenSSL has nothing of its own to check (a revocation list), else the system's roots.
TEST(TrustChoice, CaFileThenSystemVerifierThenSystemRoots) {
    const struct {
        const char* ca_file;
        const char* crl_file;
        bool verify_peer;
        bool system_verifier;
        Trust trust;
    } cases[] = {
        {"ca.pem", "", true, true, Trust::ca_file},
        {"ca.pem", "list.crl", false, false, Trust::ca_file},
        {"", "", true, true, Trust::system_verifier},
        {"", "list.crl", true, true, Trust::system_roots},
        {"", "", false, true, Trust::system_roots},
        {"", "", true, false, Trust::system_roots},
    };
    for (const auto& each : cases) {
        CheckerConfig config;
        config.curl_cainfo_filename = each.ca_file;
        config.curl_crlfile_filename = each.crl_file;
        config.curl_ssl_verifypeer = each.verify_peer;
        EXPECT_EQ(choose_trust(config, each.system_verifier), each.trust)
            << each.ca_file << " " << each.crl_file << " " << each.verify_peer << " " << each.system_verifier;
    }
}

TEST_F(ReceiveDataTest, CallbackErrorsJoinLineByLine) {
    transfer.record_callback_error("first");
    transfer.record_callback_error("");
    transfer.record_callback_error("second");
    EXPECT_EQ(transfer.callback_errors(), "first\nsecond");
}

// A script that names an unreachable proxy, then DIRECT: the transfer passes on to a direct
// connection (to a closed port too, so no server is needed: the failure names that port). The
// proxy refuses the connection (closed port), or takes it and never answers, so that only the
// connect time-out ends the wait.
TEST(ProxyList, AProxyThatCannotBeConnectedToPassesOnToTheNextEntry) {
    // Listens but never accepts: the kernel completes the connection, the proxy never answers.
    const ScopedResource<PosixDescriptor> silent_owner(socket(AF_INET, SOCK_STREAM, 0));
    const int silent = silent_owner.get();
    ASSERT_GE(silent, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string silent_proxy = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    const struct {
        std::string proxy;
        std::string cause;
    } cases[] = {
        {"127.0.0.1:1", "Couldn't connect to server"},
        {silent_proxy, "Timeout was reached"},
    };
    for (const auto& unreachable : cases) {
        CheckerConfig config;
        config.remote_version_url = "https://127.0.0.1:2/dm.json";
        config.curl_timeout_millis = 10000;
        config.curl_connecttimeout_millis = 500;
        ProxySources sources;
        sources.environment_variable = [](const char*) { return std::string(); };
        sources.internet_settings = [] {
            InternetSettings settings;
            settings.auto_config_url = "http://wpad.example/proxy.pac";
            return settings;
        };
        const std::string answer = "PROXY " + unreachable.proxy + "; DIRECT";
        sources.automatic_configuration = [&answer](const std::string&, const std::string&, uint32_t) {
            return std::optional<std::string>(answer);
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
        EXPECT_EQ(proxy_lines,
                  (std::vector<std::string>{"EVENT_PROXY " + unreachable.proxy + ", source: [system script]",
                                            "proxy not reachable: [" + unreachable.cause + "], next: [direct]"}));
    }
}

}  // namespace
}  // namespace checker
