// The user's choice: what it holds back, and choice.json.
#include "notifier/user_choice.hpp"

#include <cstdio>
#include <exception>

#include "notifier/notifier_state.hpp"
#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"
#include "support/file_system.hpp"
#include "support/json_helpers.hpp"

namespace notifier {
namespace {

const char* const skipped_key = "skipped_version_number";
const char* const reminded_key = "reminded_version_number";
const char* const until_key = "remind_until";

// A member that is a whole number from 0 on, or nothing when it is absent; anything else throws.
std::optional<uint64_t> whole_number(const json_t* document, const char* key) {
    const json_t* value = json_object_get(document, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (!json_is_integer(value) || json_integer_value(value) < 0) {
        throw checker::CheckerException(std::string("'") + key + "' is not a whole number from 0 on");
    }
    return static_cast<uint64_t>(json_integer_value(value));
}

}  // namespace

std::optional<UserChoice> choice_from_answer(DialogAnswer answer, uint64_t version_number, int64_t now) {
    UserChoice choice;
    switch (answer) {
    case DialogAnswer::closed: return std::nullopt;
    case DialogAnswer::skip_version: choice.skipped_version_number = version_number; break;
    case DialogAnswer::remind_later:
        choice.reminded_version_number = version_number;
        choice.remind_until = now + remind_later_seconds;
        break;
    }
    return choice;
}

std::optional<std::string> held_back_by(const UserChoice& choice, uint64_t version_number, int64_t now) {
    if (choice.skipped_version_number == version_number) {
        return "'NOGO' mode: skipped by the user, version_number: [" + checker::to_string(version_number) + "]";
    }
    if (choice.reminded_version_number == version_number && now < choice.remind_until &&
        choice.remind_until - now <= remind_later_seconds) {
        return "'NOGO' mode: reminded later until: [" + utc_time_text(choice.remind_until) + "]";
    }
    return std::nullopt;
}

UserChoice load_user_choice(const std::string& path) noexcept {
    try {
        if (!checker::file_exists(path)) {
            return UserChoice{};
        }
        const checker::JsonHandle document = checker::load_json_from_file(path, choice_read_limit);
        UserChoice choice;
        choice.skipped_version_number = whole_number(document.get(), skipped_key);
        choice.reminded_version_number = whole_number(document.get(), reminded_key);
        const std::optional<uint64_t> until = whole_number(document.get(), until_key);
        if (choice.reminded_version_number.has_value() != until.has_value() || until.value_or(0) > INT64_MAX) {
            throw checker::CheckerException("a reminder needs both 'reminded_version_number' and 'remind_until'");
        }
        choice.remind_until = static_cast<int64_t>(until.value_or(0));
        return choice;
    } catch (const std::exception& failure) {
        trace("user choice not used, path: [" + path + "], error: [" + failure.what() + "]");
    } catch (...) {
        trace("user choice not used, path: [" + path + "]");
    }
    return UserChoice{};
}

void store_user_choice(const UserChoice& choice, const std::string& path) {
    const checker::JsonHandle document = checker::make_empty_object();
    if (choice.skipped_version_number) {
        checker::set_integer_field(document, skipped_key, *choice.skipped_version_number);
    }
    if (choice.reminded_version_number) {
        checker::set_integer_field(document, reminded_key, *choice.reminded_version_number);
        checker::set_integer_field(document, until_key, static_cast<uint64_t>(choice.remind_until));
    }
    checker::dump_json_to_file(document, path);
}

std::string utc_time_text(int64_t seconds) {
    // Days since 1970-01-01 to the civil date (proleptic Gregorian), in eras of 400 years.
    const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const int64_t of_day = seconds - days * 86400;
    const int64_t shifted = days + 719468;
    const int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const int64_t day_of_era = shifted - era * 146097;
    const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t month_index = (5 * day_of_year + 2) / 153;
    const int64_t day = day_of_year - (153 * month_index + 2) / 5 + 1;
    const int64_t month = month_index < 10 ? month_index + 3 : month_index - 9;
    const int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(of_day / 3600),
                  static_cast<long long>(of_day / 60 % 60), static_cast<long long>(of_day % 60));
    return text;
}

}  // namespace notifier
