// The libcurl owners' setters: which values reach libcurl and how failures read.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "checker/curl_owners.hpp"
#include "support/tests/failure_of.hpp"

namespace checker {
namespace {

// Option numbers that libcurl does not know: any call that reaches libcurl fails.
const CURLoption unknown_long_option = static_cast<CURLoption>(CURLOPTTYPE_LONG + 9999);
const CURLoption unknown_text_option = static_cast<CURLoption>(CURLOPTTYPE_STRINGPOINT + 9999);

using support_test::failure_of;

class CurlOwnersTest : public ::testing::Test {
protected:
    CurlGlobal global;
    CurlMulti multi{curl_multi_init()};
    CurlEasy easy{multi, curl_easy_init()};
};

TEST_F(CurlOwnersTest, ZeroEmptyAndNullAreNotApplied) {
    EXPECT_EQ(failure_of([&] { easy.set_option_long(unknown_long_option, 0); }), "");
    EXPECT_EQ(failure_of([&] { easy.set_option_string(unknown_text_option, ""); }), "");
    EXPECT_EQ(failure_of([&] { easy.set_option_pointer(unknown_text_option, nullptr); }), "");
}

TEST_F(CurlOwnersTest, AppliedValuesReachLibcurlAndFailuresNameTheOption) {
    EXPECT_EQ(failure_of([&] { easy.set_option_long(unknown_long_option, 2147483647U); }),
              "Error setting option: [9999], to value: [2147483647]");
    EXPECT_EQ(failure_of([&] { easy.set_option_long(unknown_long_option, 2147483648U); }),
              "Error setting option: [9999], to invalid overflow value: [2147483648]");
    EXPECT_EQ(failure_of([&] { easy.set_option_bool(unknown_long_option, false); }),
              "Error setting option: [9999], to value: [0]");
    EXPECT_EQ(failure_of([&] { easy.set_option_string(unknown_text_option, "text"); }),
              "Error setting option: [19999], to value: [text]");
    int anything = 0;
    EXPECT_EQ(failure_of([&] { easy.set_option_pointer(unknown_text_option, &anything); }),
              "Error setting option: [19999]");
    EXPECT_EQ(failure_of([&] { multi.set_multi_option(static_cast<CURLMoption>(9999), 3); }),
              "Error setting multi option: [9999], to value: [3]");
}

TEST_F(CurlOwnersTest, EachSetterKindNamesItsFailureWithoutSecrets) {
    EXPECT_EQ(failure_of([&] { easy.set_option_secret(unknown_text_option, "pass phrase"); }),
              "Error setting option: [19999], to value: [(hidden)]");
    EXPECT_EQ(failure_of([&] { easy.set_option_secret(unknown_text_option, "https://u:pw@h/", "https://h/"); }),
              "Error setting option: [19999], to value: [https://h/]");
    EXPECT_EQ(failure_of([&] { easy.set_option_text(unknown_text_option, ""); }),
              "Error setting option: [19999], to value: []") << "an empty text is applied, not skipped";
    EXPECT_EQ(failure_of([&] { easy.set_option_constant(unknown_long_option, 1, "CURLOPT_SOMETHING"); }),
              "Error setting option: [CURLOPT_SOMETHING]");
    const auto unknown_function_option = static_cast<CURLoption>(CURLOPTTYPE_FUNCTIONPOINT + 9999);
    const curl_write_callback no_function = nullptr;
    EXPECT_EQ(failure_of([&] { easy.set_option_function(unknown_function_option, no_function, "CURLOPT_CALLBACK"); }),
              "Error setting option: [CURLOPT_CALLBACK]");
    const auto unknown_offset_option = static_cast<CURLoption>(CURLOPTTYPE_OFF_T + 9999);
    EXPECT_EQ(failure_of([&] { easy.set_option_offset(unknown_offset_option, 0); }), "");
    EXPECT_EQ(failure_of([&] { easy.set_option_offset(unknown_offset_option, 2147483648U); }),
              "Error setting option: [39999], to invalid overflow value: [2147483648]");
    EXPECT_EQ(failure_of([&] { easy.set_option_offset(CURLOPT_MAX_RECV_SPEED_LARGE, 4096); }), "");
}

TEST_F(CurlOwnersTest, InfoFailureNamesTheInfo) {
    EXPECT_EQ(easy.get_info_long(CURLINFO_RESPONSE_CODE), 0);
    // libcurl's own code stays libcurl's; the message names it and the info asked for.
    const auto unknown_info = static_cast<CURLINFO>(CURLINFO_LONG + 9999);
    const std::string failure = failure_of([&] { easy.get_info_long(unknown_info); });
    EXPECT_EQ(failure.rfind("cURL curl_easy_getinfo error: [", 0), 0U) << failure;
    const std::string info_part = "], option: [" + std::to_string(unknown_info) + "]";
    EXPECT_EQ(failure.substr(failure.size() - std::min(failure.size(), info_part.size())), info_part) << failure;
}

TEST(CurlOwners, NullHandlesAreRejected) {
    CurlGlobal global;
    EXPECT_EQ(failure_of([] { CurlMulti multi(nullptr); }), "Invalid 'null' CURLM specified");
    CurlMulti multi(curl_multi_init());
    EXPECT_EQ(failure_of([&] { CurlEasy easy(multi, nullptr); }), "Invalid 'null' CURL specified");
}

}  // namespace
}  // namespace checker
