// Tests of decimal texts, system error texts and the exception type.
#include <cerrno>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"

using namespace checker;

TEST(DiagnosticText, DecimalTextsOfEachType) {
    EXPECT_EQ("1", to_string(true));
    EXPECT_EQ("0", to_string(false));
    EXPECT_EQ("-2147483648", to_string(std::numeric_limits<int32_t>::min()));
    EXPECT_EQ("4294967295", to_string(std::numeric_limits<uint32_t>::max()));
    EXPECT_EQ("-9223372036854775808", to_string(std::numeric_limits<int64_t>::min()));
    EXPECT_EQ("18446744073709551615", to_string(std::numeric_limits<uint64_t>::max()));
}

TEST(DiagnosticText, SystemErrorMessage) {
    EXPECT_EQ("", system_error_message(0));
    EXPECT_EQ("code: [2], message: [No such file or directory]", system_error_message(ENOENT));
    // An unknown code still gives a bracketed one-line text with the code.
    const std::string unknown = system_error_message(4000000000u);
    EXPECT_EQ(0u, unknown.find("code: [4000000000], message: ["));
    EXPECT_EQ(std::string::npos, unknown.find('\n'));
}

TEST(DiagnosticText, LastSystemErrorIsErrno) {
    errno = EISDIR;
    EXPECT_EQ(static_cast<uint32_t>(EISDIR), last_system_error());
}

TEST(DiagnosticText, ExceptionKeepsItsTextThroughCopies) {
    try {
        const CheckerException original("Cannot open file: [a\xC3\xA4], error: []");
        throw CheckerException(original);
    } catch (const std::exception& caught) {
        EXPECT_STREQ("Cannot open file: [a\xC3\xA4], error: []", caught.what());
    }
}
