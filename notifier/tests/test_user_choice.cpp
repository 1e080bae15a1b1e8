// Unit tests of what the user's choice holds back, and when.
#include <cstdint>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "notifier/user_choice.hpp"
#include "support/diagnostic_text.hpp"

namespace {

using notifier::DialogAnswer;
using notifier::UserChoice;

constexpr uint64_t version = 10822201010;
constexpr int64_t clicked = 1796875200;  // 2026-12-10T04:00:00Z
constexpr int64_t hour = 3600;

TEST(UserChoice, HoldsBackOnlyItsVersionAndOnlyForItsTime) {
    const UserChoice skipped = *notifier::choice_from_answer(DialogAnswer::skip_version, version, clicked);
    const UserChoice reminded = *notifier::choice_from_answer(DialogAnswer::remind_later, version, clicked);
    const std::string skip_line = "'NOGO' mode: skipped by the user, version_number: [10822201010]";
    const std::string remind_line = "'NOGO' mode: reminded later until: [2026-12-11T04:00:00Z]";
    struct Case {
        const char* name;
        const UserChoice& choice;
        uint64_t shown_version;
        int64_t now;
        std::optional<std::string> line;
    };
    const Case cases[] = {
        {"skipped, a year on", skipped, version, clicked + 365 * 24 * hour, skip_line},
        {"skipped, a greater version", skipped, version + 1, clicked, std::nullopt},
        {"reminded, an hour on", reminded, version, clicked + hour, remind_line},
        {"reminded, 24 hours on", reminded, version, clicked + 24 * hour, std::nullopt},
        {"reminded, 25 hours on", reminded, version, clicked + 25 * hour, std::nullopt},
        {"reminded, a greater version", reminded, version + 1, clicked + hour, std::nullopt},
        {"reminded, the clock set back a day", reminded, version, clicked - 24 * hour, std::nullopt},
        {"reminded, the clock set back a minute", reminded, version, clicked - 60, std::nullopt},
        {"no choice", UserChoice{}, version, clicked, std::nullopt},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(notifier::held_back_by(test.choice, test.shown_version, test.now), test.line);
    }
    EXPECT_FALSE(notifier::choice_from_answer(DialogAnswer::closed, version, clicked));
}

TEST(UserChoice, TimesAreWrittenInUtc) {
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "1970-01-01T00:00:00Z"},
        {951782399, "2000-02-28T23:59:59Z"},
        {951868800, "2000-03-01T00:00:00Z"},
        {clicked + 24 * hour + 61, "2026-12-11T04:01:01Z"},
        {4107542400, "2100-03-01T00:00:00Z"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(checker::utc_time_text(test.first), test.second);
    }
}

}  // namespace
