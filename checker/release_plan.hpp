// How the vendor steers a release: a rollout in steps and the numbers taken back, from members of
// the DM response's first element (covered by the signature when signing is on).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <jansson.h>

namespace checker {

// Machines fall into this many groups; group g is due interval_seconds × g after start.
constexpr int32_t rollout_groups = 7;
// A start further ahead than this is refused: a typo must not hold a release back for years.
constexpr uint64_t max_rollout_lead_seconds = 366ULL * 86400;

struct PhasedRollout {
    uint64_t start;
    uint64_t interval_seconds;
};

struct ReleasePlan {
    std::optional<PhasedRollout> rollout;
    std::vector<uint64_t> withdrawn_version_numbers;
};

// "phased_rollout" and "withdrawn_version_numbers" of the descriptor object; both absent gives
// the empty plan. Throws for a member of the wrong shape, a start more than a year after now or a
// negative interval.
ReleasePlan release_plan_from_json(const json_t* descriptor, uint64_t now);

bool is_withdrawn(const ReleasePlan& plan, uint64_t version_number);
// When the release is due for a machine of that group.
uint64_t rollout_due_time(const PhasedRollout& rollout, int32_t group);

}  // namespace checker
