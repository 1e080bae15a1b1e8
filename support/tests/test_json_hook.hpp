// The support tests' loaded_json_hook: a pass-through that counts calls and can be replaced.
#pragma once

#include <functional>

#include <jansson.h>

namespace support_test {

// Calls of loaded_json_hook since the last reset, and the type of the last value it received
// (-1 for null).
struct HookRecord {
    int calls = 0;
    int last_type = -1;
};

HookRecord& hook_record();

// Replaces the pass-through for the life of the object (ownership in and out, like the hook).
class ScopedHookOverride {
public:
    explicit ScopedHookOverride(std::function<json_t*(json_t*)> replacement);
    ~ScopedHookOverride();
    ScopedHookOverride(const ScopedHookOverride&) = delete;
    ScopedHookOverride& operator=(const ScopedHookOverride&) = delete;
};

}  // namespace support_test
