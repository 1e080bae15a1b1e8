// The vendor's rollout and take-back members.
#include "checker/release_plan.hpp"

#include <algorithm>
#include <limits>
#include <string>

#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"

namespace checker {
namespace {

CheckerException malformed(const char* member, const std::string& error) {
    return CheckerException("Invalid DM response member, name: [" + std::string(member) + "], error: [" + error +
                            "]");
}

// The member's whole number; throws naming it when it is something else.
int64_t whole_number(const json_t* object, const char* key, const char* member) {
    const json_t* value = json_object_get(object, key);
    if (!json_is_integer(value)) {
        throw malformed(member, "'" + std::string(key) + "' is not a whole number");
    }
    return static_cast<int64_t>(json_integer_value(value));
}

}  // namespace

ReleasePlan release_plan_from_json(const json_t* descriptor, uint64_t now) {
    ReleasePlan plan;
    if (const json_t* rollout = json_object_get(descriptor, "phased_rollout")) {
        if (!json_is_object(rollout)) {
            throw malformed("phased_rollout", "not an object");
        }
        const int64_t start = whole_number(rollout, "start", "phased_rollout");
        const int64_t interval = whole_number(rollout, "interval_seconds", "phased_rollout");
        if (start < 0) {
            throw malformed("phased_rollout", "negative start: " + to_string(start));
        }
        if (static_cast<uint64_t>(start) > now && static_cast<uint64_t>(start) - now > max_rollout_lead_seconds) {
            throw malformed("phased_rollout", "start more than a year ahead: " + to_string(start));
        }
        if (interval < 0) {
            throw malformed("phased_rollout", "negative interval: " + to_string(interval));
        }
        plan.rollout = PhasedRollout{static_cast<uint64_t>(start), static_cast<uint64_t>(interval)};
    }
    if (const json_t* withdrawn = json_object_get(descriptor, "withdrawn_version_numbers")) {
        if (!json_is_array(withdrawn)) {
            throw malformed("withdrawn_version_numbers", "not an array");
        }
        for (std::size_t index = 0; index < json_array_size(withdrawn); ++index) {
            const json_t* item = json_array_get(withdrawn, index);
            if (!json_is_integer(item) || json_integer_value(item) < 0) {
                throw malformed("withdrawn_version_numbers", "not an array of whole numbers from 0");
            }
            plan.withdrawn_version_numbers.push_back(static_cast<uint64_t>(json_integer_value(item)));
        }
    }
    return plan;
}

bool is_withdrawn(const ReleasePlan& plan, uint64_t version_number) {
    const std::vector<uint64_t>& numbers = plan.withdrawn_version_numbers;
    return std::find(numbers.begin(), numbers.end(), version_number) != numbers.end();
}

uint64_t rollout_due_time(const PhasedRollout& rollout, int32_t group) {
    const uint64_t steps = static_cast<uint64_t>(std::max(group, 0));
    // An interval so long that the product overflows is due never rather than at once.
    if (steps != 0 && rollout.interval_seconds > (std::numeric_limits<uint64_t>::max() - rollout.start) / steps) {
        return std::numeric_limits<uint64_t>::max();
    }
    return rollout.start + rollout.interval_seconds * steps;
}

}  // namespace checker
