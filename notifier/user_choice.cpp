// The user's choice: what it holds back, and choice.json.
#include "notifier/user_choice.hpp"

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
        return "'NOGO' mode: reminded later until: [" + checker::utc_time_text(static_cast<uint64_t>(choice.remind_until)) + "]";
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

}  // namespace notifier
