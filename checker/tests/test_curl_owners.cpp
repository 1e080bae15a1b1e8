// The libcurl owners' setters: which values reach libcurl and how failures read.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "checker/curl_owners.hpp"

namespace checker {
namespace {

// Option numbers that libcurl does not know: any call that reaches libcurl fails.
const CURLoption unknown_long_option = static_cast<CURLoption>(CURLOPTTYPE_LONG + 9999);
const CURLoption unknown_text_option = static_cast<CURLoption>(CURLOPTTYPE_STRINGPOINT + 9999);

std::string failure_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "";
}

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

TEST_F(CurlOwnersTest, InfoFailureNamesTheInfo) {
    EXPECT_EQ(easy.get_info_long(CURLINFO_RESPONSE_CODE), 0);
    EXPECT_EQ(failure_of([&] { easy.get_info_long(static_cast<CURLINFO>(CURLINFO_LONG + 9999)); }),
              "cURL curl_easy_getinfo error: [48], option: [2107151]");
}

TEST(CurlOwners, NullHandlesAreRejected) {
    CurlGlobal global;
    EXPECT_EQ(failure_of([] { CurlMulti multi(nullptr); }), "Invalid 'null' CURLM specified");
    CurlMulti multi(curl_multi_init());
    EXPECT_EQ(failure_of([&] { CurlEasy easy(multi, nullptr); }), "Invalid 'null' CURL specified");
}

}  // namespace
}  // namespace checker
