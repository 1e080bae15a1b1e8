// Transfer pieces that need no server: the select wait, its failure bound and the size limits.
#include <string>

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

}  // namespace
}  // namespace checker
