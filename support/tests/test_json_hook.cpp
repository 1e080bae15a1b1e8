// The support tests' definition of loaded_json_hook.
#include "test_json_hook.hpp"

#include "support/json_helpers.hpp"

support_test::HookState& support_test::hook_state() {
    static HookState state;
    return state;
}

json_t* checker::loaded_json_hook(json_t* value) {
    support_test::HookState& state = support_test::hook_state();
    ++state.calls;
    state.last_type = value == nullptr ? -1 : static_cast<int>(json_typeof(value));
    return state.replacement != nullptr ? state.replacement(value) : value;
}
