// The checker's own per-user state beside version.json (check_state.json): when the next request
// may be made, the server's validators, the rollout group and the digest of the last verified
// document. Written by the checker only; the notifier never reads it.
#pragma once

#include <cstdint>
#include <string>

#include "support/json_helpers.hpp"
#include "support/tracer.hpp"

namespace checker {

// Why no request is made before CheckState::no_request_before.
enum class WaitReason { none, server_asked, backing_off };

struct CheckState {
    uint64_t no_request_before = 0;  // Unix seconds; 0 for none
    WaitReason wait_reason = WaitReason::none;
    uint32_t failures_in_row = 0;  // server failures since the last success
    uint64_t last_success = 0;     // Unix seconds of the last check that reached its end; 0 for none
    // The validators of the last document processed to its end, and the version_number that
    // version.json held after it: they are sent only while version.json still holds that number.
    std::string etag;
    std::string last_modified;
    uint64_t validated_version_number = 0;
    // BLAKE2b-512 of the last document whose signature verified, in lowercase hex; empty for none.
    std::string verified_digest;
    int32_t rollout_group = -1;  // 0 ... 6 once drawn
};

bool operator==(const CheckState& left, const CheckState& right);

// The state is small; a larger file is not one the checker wrote.
constexpr uint32_t check_state_read_limit = 8192;

JsonHandle check_state_to_json(const CheckState& state);
// Members that are absent, mistyped or out of range take their empty value.
CheckState check_state_from_json(const json_t* object);

// The state at path: empty when there is none; a file that cannot be read (corrupt, over the
// read limit, not an object) counts as empty, traced, and is replaced by the next write.
CheckState load_check_state(const std::string& path, Tracer& tracer);
// Writes the whole state beside path and renames it into place (as version.json is written).
// A state that cannot be written only costs the requests it would have saved: traced, never
// thrown.
void save_check_state(const CheckState& state, const std::string& path, Tracer& tracer) noexcept;

}  // namespace checker
