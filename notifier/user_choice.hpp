// The user's answer to a notice, kept in choice.json beside version.json: the version they skip,
// or the version they put off and until when.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "notifier/desktop.hpp"

namespace notifier {

// "Remind me later" holds a version back this long from the click.
constexpr int64_t remind_later_seconds = int64_t{24} * 60 * 60;
constexpr uint32_t choice_read_limit = 4096;

// One choice at a time: a new one replaces the file.
struct UserChoice {
    std::optional<uint64_t> skipped_version_number;
    std::optional<uint64_t> reminded_version_number;
    int64_t remind_until = 0;  // seconds since 1970 (UTC)
};

// The choice an answer of the dialog makes for version_number at `now`; nothing for a plain close.
std::optional<UserChoice> choice_from_answer(DialogAnswer answer, uint64_t version_number, int64_t now);

// The trace line saying why the choice holds the notice of version_number back at `now`, or
// nothing. A reminder due more than 24 hours from now (the clock was set back since) holds
// nothing back, so "later" never lasts longer than it was meant to.
std::optional<std::string> held_back_by(const UserChoice& choice, uint64_t version_number, int64_t now);

// choice.json as it is stored; a missing file is no choice, and so is one that cannot be read
// (traced): the next choice replaces it.
UserChoice load_user_choice(const std::string& path) noexcept;
// Writes the file whole and renames it into place; throws when that fails.
void store_user_choice(const UserChoice& choice, const std::string& path);

}  // namespace notifier
