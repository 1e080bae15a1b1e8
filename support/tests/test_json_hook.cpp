// The support tests' definition of loaded_json_hook.
#include "test_json_hook.hpp"

#include <utility>

#include "support/json_helpers.hpp"

namespace support_test {
namespace {

std::function<json_t*(json_t*)>& replacement_hook() {
    static std::function<json_t*(json_t*)> hook;
    return hook;
}

}  // namespace

HookRecord& hook_record() {
    static HookRecord record;
    return record;
}

ScopedHookOverride::ScopedHookOverride(std::function<json_t*(json_t*)> replacement) {
    replacement_hook() = std::move(replacement);
}

ScopedHookOverride::~ScopedHookOverride() { replacement_hook() = nullptr; }

}  // namespace support_test

json_t* checker::loaded_json_hook(json_t* value) {
    support_test::HookRecord& record = support_test::hook_record();
    ++record.calls;
    record.last_type = value == nullptr ? -1 : static_cast<int>(json_typeof(value));
    auto& replacement = support_test::replacement_hook();
    return replacement ? replacement(value) : value;
}
