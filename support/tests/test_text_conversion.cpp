// Tests of UTF-8 / UTF-16 conversion and of the strict number parsers.
#include <string>

#include <gtest/gtest.h>

#include "support/text_conversion.hpp"
#include "test_helpers.hpp"

using namespace checker;
using support_test::failure_of;

TEST(TextConversion, RoundTripKeepsAllPlanesAndEmbeddedNul) {
    EXPECT_EQ("", narrow(nullptr, 0));
    EXPECT_EQ(u"", widen(""));
    const std::string text("a\0\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80z", 12);
    const std::u16string wide = widen(text);
    EXPECT_EQ(std::u16string(u"a\0\u00E4\u20AC\U0001F600z", 7), wide);
    EXPECT_EQ(text, narrow(wide));
}

TEST(TextConversion, InvalidInputBecomesReplacementCharacters) {
    const std::string r8 = "\xEF\xBF\xBD";
    EXPECT_EQ("a" + r8 + "b", narrow(std::u16string{u'a', char16_t(0xD800), u'b'}));
    EXPECT_EQ(r8 + r8, narrow(std::u16string{char16_t(0xDC00), char16_t(0xD800)}));
    // One U+FFFD for each maximal invalid subsequence, as Windows does.
    const char16_t r = 0xFFFD;
    EXPECT_EQ((std::u16string{r, u'A'}), widen("\xE2\x82" "A"));
    EXPECT_EQ((std::u16string{u'x', r}), widen("x\xF0\x9F\x98"));
    EXPECT_EQ((std::u16string{r, r}), widen("\xC0\xAF"));
    EXPECT_EQ((std::u16string{r, r, r}), widen("\xED\xA0\x80"));
    EXPECT_EQ((std::u16string{r, r, r, r}), widen("\xF4\x90\x80\x80"));
    EXPECT_EQ((std::u16string{r, u'a', r}), widen("\x80" "a\xFF"));
}

TEST(NumberParsing, AcceptedTexts) {
    EXPECT_EQ(42u, parse_uint32(" 42"));
    EXPECT_EQ(0u, parse_uint32(""));
    EXPECT_EQ(31u, parse_uint32("0x1F"));
    EXPECT_EQ(8u, parse_uint32("010"));
    EXPECT_EQ(4294967295u, parse_uint32("4294967295"));
    EXPECT_EQ(9223372036854775807ull, parse_uint64("9223372036854775807"));
    EXPECT_EQ(0u, parse_uint64("-0"));
}

TEST(NumberParsing, RejectedTexts) {
    EXPECT_EQ("Cannot parse uint32_t from string: [42 ]", failure_of([] { parse_uint32("42 "); }));
    EXPECT_EQ("Cannot parse uint32_t from string: [08]", failure_of([] { parse_uint32("08"); }));
    EXPECT_EQ("Value overflow for uint32_t from string: [4294967296]", failure_of([] { parse_uint32("4294967296"); }));
    EXPECT_EQ("Value overflow for uint32_t from string: [-1]", failure_of([] { parse_uint32("-1"); }));
    const std::string nines(20, '9');
    EXPECT_EQ("Cannot parse uint32_t from string: [" + nines + "]", failure_of([&] { parse_uint32(nines); }));
    EXPECT_EQ("Cannot parse uint64_t from string: [9223372036854775808]",
              failure_of([] { parse_uint64("9223372036854775808"); }));
    EXPECT_EQ("Invalid negative value for uint64_t from string: [-1]", failure_of([] { parse_uint64("-1"); }));
    // Text after an embedded NUL is not silently dropped.
    EXPECT_NE("", failure_of([] { parse_uint64(std::string("12\0" "3", 4)); }));
}
