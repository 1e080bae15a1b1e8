// When the checker may ask the server again.
#include "checker/check_schedule.hpp"

#include <algorithm>
#include <cctype>

#include <curl/curl.h>

#include "support/diagnostic_text.hpp"

namespace checker {
namespace {

constexpr uint64_t seconds_per_minute = 60;
constexpr uint32_t largest_failure_count = 1000;

bool all_digits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

bool printable(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto unit = static_cast<unsigned char>(c);
        return unit >= 0x20 && unit != 0x7f;
    });
}

std::string ignored(const std::string& value, const char* reason) {
    return "Retry-After ignored, value: [" + value + "], reason: [" + reason + "]";
}

// The longest wait a stored time of that reason can name.
uint64_t longest_wait(WaitReason reason) {
    if (reason == WaitReason::server_asked) {
        return max_server_wait_seconds;
    }
    return max_backoff_seconds + static_cast<uint64_t>(max_backoff_seconds * max_backoff_stretch);
}

std::string hold_message(const CheckState& state) {
    if (state.wait_reason == WaitReason::server_asked) {
        return "no request made: the server asked to wait (Retry-After), until: [" +
               utc_time_text(state.no_request_before) + "]";
    }
    return "no request made: backing off after server failures in a row: [" + to_string(state.failures_in_row) +
           "], until: [" + utc_time_text(state.no_request_before) + "]";
}

}  // namespace

RetryAfter parse_retry_after(const std::string& value, uint64_t now) {
    const std::string shown = printable(value) ? value : "(not printable)";
    uint64_t until = 0;
    if (all_digits(value)) {
        // Beyond twelve digits the value is past any cap anyway, and past 64 bits soon after.
        const uint64_t seconds = value.size() > 12 ? max_server_wait_seconds + 1 : std::stoull(value);
        if (seconds == 0) {
            return {std::nullopt, ignored(shown, "not in the future")};
        }
        until = now + std::min(seconds, max_server_wait_seconds + 1);
    } else {
        const time_t date = printable(value) ? curl_getdate(value.c_str(), nullptr) : -1;
        if (date < 0) {
            return {std::nullopt, ignored(shown, "does not parse")};
        }
        if (static_cast<uint64_t>(date) <= now) {
            return {std::nullopt, ignored(shown, "not in the future")};
        }
        until = static_cast<uint64_t>(date);
    }
    if (until - now > max_server_wait_seconds) {
        return {now + max_server_wait_seconds, "Retry-After capped at 7 days, value: [" + shown + "]"};
    }
    return {until, ""};
}

uint64_t backoff_seconds(uint32_t failures, double stretch) {
    uint64_t base = first_backoff_seconds;
    for (uint32_t step = 1; step < failures && base < max_backoff_seconds; ++step) {
        base *= 2;
    }
    base = std::min(base, max_backoff_seconds);
    const double share = std::min(std::max(stretch, 0.0), 1.0) * max_backoff_stretch;
    return base + static_cast<uint64_t>(static_cast<double>(base) * share);
}

std::optional<RequestHold> request_hold(const CheckState& state, uint32_t min_check_interval_minutes, uint64_t now,
                                        std::vector<std::string>& notes) {
    if (state.wait_reason != WaitReason::none && state.no_request_before > now) {
        if (state.no_request_before - now <= longest_wait(state.wait_reason)) {
            return RequestHold{state.no_request_before, hold_message(state)};
        }
        notes.push_back("stored wait dropped, further ahead than any wait: [" +
                        utc_time_text(state.no_request_before) + "]");
    }
    if (min_check_interval_minutes == 0 || state.last_success == 0) {
        return std::nullopt;
    }
    if (state.last_success > now) {
        notes.push_back("minimum interval not applied, last success ahead of the clock: [" +
                        utc_time_text(state.last_success) + "]");
        return std::nullopt;
    }
    const uint64_t interval = min_check_interval_minutes * seconds_per_minute;
    if (now - state.last_success >= interval) {
        return std::nullopt;
    }
    const uint64_t until = state.last_success + interval;
    return RequestHold{until, "no request made: the last check was less than min_check_interval_minutes ago: [" +
                                  to_string(min_check_interval_minutes) + "], until: [" + utc_time_text(until) +
                                  "]"};
}

CheckState state_after_failure(CheckState state, const ServerAnswer& answer, uint64_t now, double stretch,
                               std::vector<std::string>& notes) {
    const bool asks_to_wait = answer.response_code == 429 || answer.response_code == 503;
    if (answer.headers_received && answer.has_retry_after && asks_to_wait) {
        const RetryAfter retry = parse_retry_after(answer.retry_after, now);
        if (!retry.note.empty()) {
            notes.push_back(retry.note);
        }
        if (retry.until) {
            state.no_request_before = *retry.until;
            state.wait_reason = WaitReason::server_asked;
            notes.push_back("server asked to wait, no request before: [" + utc_time_text(*retry.until) + "]");
            return state;
        }
    }
    const bool server_error = answer.headers_received && answer.response_code >= 500 && answer.response_code < 600;
    const bool no_answer = !answer.headers_received && answer.server_reached;
    if (!server_error && !no_answer) {
        return state;
    }
    state.failures_in_row = std::min(state.failures_in_row + 1, largest_failure_count);
    state.no_request_before = now + backoff_seconds(state.failures_in_row, stretch);
    state.wait_reason = WaitReason::backing_off;
    notes.push_back("server failures in a row: [" + to_string(state.failures_in_row) + "], no request before: [" +
                    utc_time_text(state.no_request_before) + "]");
    return state;
}

CheckState state_after_success(CheckState state, uint64_t now) {
    state.failures_in_row = 0;
    state.no_request_before = 0;
    state.wait_reason = WaitReason::none;
    state.last_success = now;
    return state;
}

std::vector<std::string> validator_headers(const CheckState& state, uint64_t local_number, bool signing) {
    std::vector<std::string> lines;
    if (local_number == 0 || state.validated_version_number != local_number) {
        return lines;
    }
    if (signing && !digest_from_text(state.verified_digest)) {
        return lines;
    }
    if (!state.etag.empty() && printable(state.etag)) {
        lines.push_back("If-None-Match: " + state.etag);
    }
    if (!state.last_modified.empty() && printable(state.last_modified)) {
        lines.push_back("If-Modified-Since: " + state.last_modified);
    }
    return lines;
}

CheckState state_with_validators(CheckState state, const ServerAnswer& answer, uint64_t stored_number,
                                 const std::optional<Blake2bDigest>& verified_digest) {
    state.etag = answer.etag;
    state.last_modified = answer.last_modified;
    state.validated_version_number = stored_number;
    state.verified_digest = verified_digest ? digest_text(*verified_digest) : "";
    return state;
}

std::string digest_text(const Blake2bDigest& digest) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const uint8_t byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 0xf];
    }
    return text;
}

std::optional<Blake2bDigest> digest_from_text(const std::string& text) {
    Blake2bDigest digest{};
    if (text.size() != digest.size() * 2) {
        return std::nullopt;
    }
    const auto value = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    for (std::size_t index = 0; index < digest.size(); ++index) {
        const int high = value(text[2 * index]);
        const int low = value(text[2 * index + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        digest[index] = static_cast<uint8_t>(high * 16 + low);
    }
    return digest;
}

}  // namespace checker
