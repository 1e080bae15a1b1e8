// Tests of decimal texts and system error texts.
#include <cerrno>
#include <cstdint>

#include <gtest/gtest.h>

#include "support/diagnostic_text.hpp"
#include "support/system_error.hpp"

using namespace checker;

TEST(DiagnosticText, DecimalAndSystemErrorTexts) {
    EXPECT_EQ("1", to_string(true));
    EXPECT_EQ("-2147483648", to_string(INT32_MIN));
    EXPECT_EQ("18446744073709551615", to_string(UINT64_MAX));
    EXPECT_EQ("", system_error_message(0));
    EXPECT_EQ("code: [2], message: [No such file or directory]", system_error_message(ENOENT));
    EXPECT_EQ(0u, system_error_message(4000000000u).find("code: [4000000000], message: ["));
    errno = EISDIR;
    EXPECT_EQ(static_cast<uint32_t>(EISDIR), last_system_error());
}
