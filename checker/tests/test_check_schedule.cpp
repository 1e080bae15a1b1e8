// When the checker asks again: Retry-After, the back-off, the minimum interval, the validators.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checker/check_schedule.hpp"

using namespace checker;

namespace {

constexpr uint64_t now = 1'800'000'000;  // 2027-01-15T08:00:00Z
constexpr uint64_t hour = 3600;

ServerAnswer answer_of(int32_t status, const char* retry_after = nullptr) {
    ServerAnswer answer;
    answer.headers_received = status > 0;
    answer.response_code = status;
    answer.server_reached = true;
    if (retry_after != nullptr) {
        answer.has_retry_after = true;
        answer.retry_after = retry_after;
    }
    return answer;
}

}  // namespace

TEST(CheckSchedule, RetryAfterInSecondsOrAsADateCappedAtSevenDays) {
    const struct {
        const char* value;
        std::optional<uint64_t> until;
        const char* note;
    } cases[] = {
        {"3600", now + hour, ""},
        {"Fri, 15 Jan 2027 10:00:00 GMT", now + 2 * hour, ""},
        {"604800", now + 604800, ""},
        {"99999999", now + 604800, "Retry-After capped at 7 days, value: [99999999]"},
        {"99999999999999999999999", now + 604800,
         "Retry-After capped at 7 days, value: [99999999999999999999999]"},
        {"Fri, 15 Jan 2038 10:00:00 GMT", now + 604800, "Retry-After capped at 7 days, value: [Fri, 15 Jan 2038 10:00:00 GMT]"},
        {"0", std::nullopt, "Retry-After ignored, value: [0], reason: [not in the future]"},
        {"Thu, 01 Jan 2015 00:00:00 GMT", std::nullopt,
         "Retry-After ignored, value: [Thu, 01 Jan 2015 00:00:00 GMT], reason: [not in the future]"},
        {"soon", std::nullopt, "Retry-After ignored, value: [soon], reason: [does not parse]"},
        {"-5", std::nullopt, "Retry-After ignored, value: [-5], reason: [does not parse]"},
        {"", std::nullopt, "Retry-After ignored, value: [], reason: [does not parse]"},
    };
    for (const auto& each : cases) {
        const RetryAfter retry = parse_retry_after(each.value, now);
        EXPECT_EQ(retry.until, each.until) << each.value;
        EXPECT_EQ(retry.note, each.note) << each.value;
    }
}

TEST(CheckSchedule, BackoffDoublesFromAnHourToADayAndStretchesByAFifthAtMost) {
    const struct {
        uint32_t failures;
        double stretch;
        uint64_t seconds;
    } cases[] = {
        {1, 0.0, hour},       {2, 0.0, 2 * hour},  {3, 0.0, 4 * hour},        {5, 0.0, 16 * hour},
        {6, 0.0, 24 * hour},  {1000, 0.0, 24 * hour}, {1, 0.5, hour + 360}, {6, 0.999999, 24 * hour + 17279},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(backoff_seconds(each.failures, each.stretch), each.seconds) << each.failures << " " << each.stretch;
    }
}

// Which answer makes the next runs wait: only the server's own.
TEST(CheckSchedule, OnlyTheServerSlowsTheNextRunsDown) {
    ServerAnswer refused;  // nothing reached: no name, no network, a proxy refusing
    ServerAnswer silent;   // the server took the connection and never answered
    silent.server_reached = true;
    const struct {
        const char* name;
        ServerAnswer answer;
        uint32_t failures_before;
        WaitReason reason;
        uint64_t until;
        uint32_t failures_after;
    } cases[] = {
        {"503 with Retry-After", answer_of(503, "3600"), 2, WaitReason::server_asked, now + hour, 2},
        {"429 with Retry-After", answer_of(429, "60"), 0, WaitReason::server_asked, now + 60, 0},
        {"503 with garbage", answer_of(503, "later"), 0, WaitReason::backing_off, now + hour, 1},
        {"500", answer_of(500), 1, WaitReason::backing_off, now + 2 * hour, 2},
        {"500 with Retry-After", answer_of(500, "60"), 0, WaitReason::backing_off, now + hour, 1},
        {"silent server", silent, 0, WaitReason::backing_off, now + hour, 1},
        {"404", answer_of(404), 3, WaitReason::none, 0, 3},
        {"429 without Retry-After", answer_of(429), 0, WaitReason::none, 0, 0},
        {"user's side", refused, 3, WaitReason::none, 0, 3},
    };
    for (const auto& each : cases) {
        CheckState before;
        before.failures_in_row = each.failures_before;
        std::vector<std::string> notes;
        const CheckState after = state_after_failure(before, each.answer, now, 0.0, notes);
        EXPECT_EQ(after.wait_reason, each.reason) << each.name;
        EXPECT_EQ(after.no_request_before, each.until) << each.name;
        EXPECT_EQ(after.failures_in_row, each.failures_after) << each.name;
        EXPECT_EQ(notes.empty(), each.reason == WaitReason::none) << each.name;
    }
    CheckState failed;
    failed.failures_in_row = 4;
    failed.no_request_before = now + hour;
    failed.wait_reason = WaitReason::backing_off;
    const CheckState cleared = state_after_success(failed, now);
    EXPECT_EQ(std::vector<uint64_t>({cleared.failures_in_row, cleared.no_request_before, cleared.last_success}),
              std::vector<uint64_t>({0, 0, now}));
}

TEST(CheckSchedule, HoldsBeforeTheStoredTimeOrWithinTheMinimumInterval) {
    const auto state_of = [](WaitReason reason, uint64_t until, uint64_t last_success) {
        CheckState state;
        state.wait_reason = reason;
        state.no_request_before = until;
        state.failures_in_row = reason == WaitReason::backing_off ? 2 : 0;
        state.last_success = last_success;
        return state;
    };
    const struct {
        const char* name;
        CheckState state;
        uint32_t interval_minutes;
        std::optional<uint64_t> until;
        const char* message_or_note;
    } cases[] = {
        {"server asked", state_of(WaitReason::server_asked, now + 1, 0), 0, now + 1,
         "no request made: the server asked to wait (Retry-After), until: [2027-01-15T08:00:01Z]"},
        {"backing off", state_of(WaitReason::backing_off, now + hour, 0), 0, now + hour,
         "no request made: backing off after server failures in a row: [2], until: [2027-01-15T09:00:00Z]"},
        {"wait over", state_of(WaitReason::server_asked, now, 0), 0, std::nullopt, ""},
        {"further than 7 days: the clock went back", state_of(WaitReason::server_asked, now + 604801, 0), 0,
         std::nullopt, "stored wait dropped, further ahead than any wait: [2027-01-22T08:00:01Z]"},
        {"further than a stretched day", state_of(WaitReason::backing_off, now + 29 * hour, 0), 0, std::nullopt,
         "stored wait dropped, further ahead than any wait: [2027-01-16T13:00:00Z]"},
        {"within the interval", state_of(WaitReason::none, 0, now - 59 * 60), 60, now + 60,
         "no request made: the last check was less than min_check_interval_minutes ago: [60], until: "
         "[2027-01-15T08:01:00Z]"},
        {"interval over", state_of(WaitReason::none, 0, now - 3600), 60, std::nullopt, ""},
        {"no interval", state_of(WaitReason::none, 0, now - 1), 0, std::nullopt, ""},
        {"never succeeded", state_of(WaitReason::none, 0, 0), 60, std::nullopt, ""},
        {"last success ahead of the clock", state_of(WaitReason::none, 0, now + 10), 60, std::nullopt,
         "minimum interval not applied, last success ahead of the clock: [2027-01-15T08:00:10Z]"},
    };
    for (const auto& each : cases) {
        std::vector<std::string> notes;
        const std::optional<RequestHold> hold = request_hold(each.state, each.interval_minutes, now, notes);
        EXPECT_EQ(hold ? std::optional<uint64_t>(hold->until) : std::nullopt, each.until) << each.name;
        const std::string said = hold ? hold->message : notes.empty() ? "" : notes.front();
        EXPECT_EQ(said, each.message_or_note) << each.name;
    }
}

// The validators go out only while version.json holds the number they came with.
TEST(CheckSchedule, ValidatorsAreSentOnlyForTheStoredDescriptorTheyBelongTo) {
    const Blake2bDigest digest{{1, 2, 3}};
    CheckState stored;
    stored.etag = "\"abc\"";
    stored.last_modified = "Fri, 15 Jan 2027 07:00:00 GMT";
    stored.validated_version_number = 42;
    CheckState signed_state = stored;
    signed_state.verified_digest = digest_text(digest);
    const std::vector<std::string> both = {"If-None-Match: \"abc\"", "If-Modified-Since: Fri, 15 Jan 2027 07:00:00 GMT"};
    const struct {
        const char* name;
        CheckState state;
        uint64_t local_number;
        bool signing;
        std::vector<std::string> lines;
    } cases[] = {
        {"stored descriptor", stored, 42, false, both},
        {"version.json lost", stored, 0, false, {}},
        {"version.json replaced", stored, 41, false, {}},
        {"signing without a stored digest", stored, 42, true, {}},
        {"signing with the stored digest", signed_state, 42, true, both},
        {"no validators", CheckState(), 0, false, {}},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(validator_headers(each.state, each.local_number, each.signing), each.lines) << each.name;
    }
    EXPECT_EQ(digest_from_text(digest_text(digest)), std::optional<Blake2bDigest>(digest));
    EXPECT_EQ(digest_from_text(std::string(128, 'g')), std::nullopt);
}

TEST(CheckSchedule, HeaderLinesOfTheLastResponseAreKept) {
    ServerAnswer answer;
    for (const char* line : {"HTTP/1.1 302 Found\r\n", "ETag: \"old\"\r\n", "Retry-After: 5\r\n", "HTTP/1.1 503 No\r\n",
                             "retry-after:  120 \r\n", "etag: \"new\"\r\n", "Last-Modified: Fri, 15 Jan 2027\r\n",
                             "X-Other: 1\r\n", "\r\n"}) {
        take_header_line(answer, line);
    }
    EXPECT_TRUE(answer.has_retry_after);
    EXPECT_EQ(std::vector<std::string>({answer.retry_after, answer.etag, answer.last_modified}),
              std::vector<std::string>({"120", "\"new\"", "Fri, 15 Jan 2027"}));
}
