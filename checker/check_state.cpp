// The checker's own state file: its JSON form, reading it leniently and writing it whole.
#include "checker/check_state.hpp"

#include <exception>

#include "support/checker_exception.hpp"
#include "support/file_access.hpp"
#include "support/file_system.hpp"

namespace checker {
namespace {

const char* reason_name(WaitReason reason) {
    switch (reason) {
    case WaitReason::server_asked:
        return "server_asked";
    case WaitReason::backing_off:
        return "backing_off";
    case WaitReason::none:
        break;
    }
    return "none";
}

WaitReason reason_of(const std::string& name) {
    if (name == "server_asked") {
        return WaitReason::server_asked;
    }
    return name == "backing_off" ? WaitReason::backing_off : WaitReason::none;
}

}  // namespace

bool operator==(const CheckState& left, const CheckState& right) {
    return left.no_request_before == right.no_request_before && left.wait_reason == right.wait_reason &&
           left.failures_in_row == right.failures_in_row && left.last_success == right.last_success &&
           left.etag == right.etag && left.last_modified == right.last_modified &&
           left.validated_version_number == right.validated_version_number &&
           left.verified_digest == right.verified_digest && left.rollout_group == right.rollout_group;
}

JsonHandle check_state_to_json(const CheckState& state) {
    JsonHandle object = make_empty_object();
    set_integer_field(object, "no_request_before", state.no_request_before);
    set_string_field(object, "wait_reason", reason_name(state.wait_reason));
    set_integer_field(object, "failures_in_row", state.failures_in_row);
    set_integer_field(object, "last_success", state.last_success);
    set_string_field(object, "etag", state.etag);
    set_string_field(object, "last_modified", state.last_modified);
    set_integer_field(object, "validated_version_number", state.validated_version_number);
    set_string_field(object, "verified_digest", state.verified_digest);
    if (state.rollout_group >= 0) {
        set_integer_field(object, "rollout_group", static_cast<uint64_t>(state.rollout_group));
    }
    return object;
}

CheckState check_state_from_json(const json_t* object) {
    CheckState state;
    state.no_request_before = get_uint64_field(object, "no_request_before", 0);
    state.wait_reason = reason_of(get_string_field(object, "wait_reason", ""));
    if (state.wait_reason == WaitReason::none) {
        state.no_request_before = 0;
    }
    state.failures_in_row = get_uint32_field(object, "failures_in_row", 0);
    state.last_success = get_uint64_field(object, "last_success", 0);
    state.etag = get_string_field(object, "etag", "");
    state.last_modified = get_string_field(object, "last_modified", "");
    state.validated_version_number = get_uint64_field(object, "validated_version_number", 0);
    state.verified_digest = get_string_field(object, "verified_digest", "");
    const uint32_t group = get_uint32_field(object, "rollout_group", 7);
    state.rollout_group = group < 7 ? static_cast<int32_t>(group) : -1;
    return state;
}

CheckState load_check_state(const std::string& path, Tracer& tracer) {
    if (!file_exists(path)) {
        return CheckState();
    }
    try {
        const JsonHandle document = load_json_from_file(path, check_state_read_limit);
        return check_state_from_json(document.get());
    } catch (const std::exception& failure) {
        tracer.add("check state unreadable, taken as empty, error: [" + std::string(failure.what()) + "]");
        return CheckState();
    }
}

void save_check_state(const CheckState& state, const std::string& path, Tracer& tracer) noexcept {
    try {
        dump_json_to_file(check_state_to_json(state), path);
    } catch (const std::exception& failure) {
        try {
            tracer.add("check state not written, error: [" + std::string(failure.what()) + "]");
        } catch (...) {
            // The run's outcome stands without its trace line.
        }
    }
}

}  // namespace checker
