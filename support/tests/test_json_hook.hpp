// The support tests' loaded_json_hook: a pass-through that counts calls and can be replaced.
#pragma once

#include <jansson.h>

namespace support_test {

struct HookState {
    int calls = 0;
    int last_type = -1;                         // type of the last value received, -1 for null
    json_t* (*replacement)(json_t*) = nullptr;  // used instead of the pass-through when set
};

HookState& hook_state();

}  // namespace support_test
