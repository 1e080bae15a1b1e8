// When the checker may ask the server again: the server's Retry-After, the back-off after server
// failures in a row, the minimum interval between checks. Pure decisions on the check state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "checker/check_state.hpp"
#include "checker/minisign.hpp"
#include "checker/transfer_outcome.hpp"

namespace checker {

// A hostile or broken server cannot silence the checker longer than this.
constexpr uint64_t max_server_wait_seconds = uint64_t{7} * 86400;
// The back-off after n server failures in a row: 1 h doubled n - 1 times, at most 24 h, each
// stretched by a random part of up to 20 %.
constexpr uint64_t first_backoff_seconds = 3600;
constexpr uint64_t max_backoff_seconds = 86400;
constexpr double max_backoff_stretch = 0.2;

// A Retry-After value: whole seconds or an HTTP date. until is the time it names, capped at
// now + max_server_wait_seconds; none for a value that does not parse or a time not after now,
// with note saying so (the note also names a capped value).
struct RetryAfter {
    std::optional<uint64_t> until;
    std::string note;
};
RetryAfter parse_retry_after(const std::string& value, uint64_t now);

// The back-off in seconds after failures (from 1) server failures in a row; stretch in [0, 1)
// takes its share of max_backoff_stretch.
uint64_t backoff_seconds(uint32_t failures, double stretch);

// Why this run makes no request, and until when.
struct RequestHold {
    uint64_t until;
    std::string message;  // the INFO line
};
// The hold in force at now, if any. A stored time further ahead than any wait could reach (the
// clock was set back) is dropped, with a note for the trace.
std::optional<RequestHold> request_hold(const CheckState& state, uint32_t min_check_interval_minutes, uint64_t now,
                                        std::vector<std::string>& notes);

// The state after a run whose request failed: a 429 or 503 with a usable Retry-After stores its
// time; a 5xx without one, or a server that took the connection and never answered, is one more
// failure in a row and stores the back-off; a failure on the user's side (no network, no name,
// a proxy refusing) changes nothing. Notes go to the trace.
CheckState state_after_failure(CheckState state, const ServerAnswer& answer, uint64_t now, double stretch,
                               std::vector<std::string>& notes);
// The state after a check that reached its end (a document processed or a 304).
CheckState state_after_success(CheckState state, uint64_t now);

// The request header lines that make a check conditional: the stored validators, sent only while
// version.json holds the number they were stored with (never 0: a user who lost version.json
// gets the notice back), and with signing on only beside the digest of the last verified
// document, which the signature of a 304 must fit.
std::vector<std::string> validator_headers(const CheckState& state, uint64_t local_number, bool signing);
// The state after a document processed to its end: its validators, the number version.json now
// holds, and with signing on the digest its signature verified.
CheckState state_with_validators(CheckState state, const ServerAnswer& answer, uint64_t stored_number,
                                 const std::optional<Blake2bDigest>& verified_digest);

// A digest as lowercase hex, and back; none for a text that is not 128 hex digits.
std::string digest_text(const Blake2bDigest& digest);
std::optional<Blake2bDigest> digest_from_text(const std::string& text);

}  // namespace checker
