// The administrator's switches for the update checks (Group Policy values), which of them is in
// force and where it came from.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "registry_settings.hpp"

namespace checker {

// What a policy value holds: a switch (DWORD 0 or 1), an address (REG_SZ) or a number of minutes
// (DWORD 0 to max_policy_minutes).
enum class PolicyKind { switch_value, address, minutes };

// The largest number of minutes a policy value may hold: 30 days.
constexpr uint32_t max_policy_minutes = 43200;

struct PolicyValueName {
    const char* name;
    PolicyKind kind;
};

// Every policy value the programs read; the policy template in windows/policy/ writes these.
constexpr std::array<PolicyValueName, 5> policy_values{{
    {"CheckForUpdates", PolicyKind::switch_value},
    {"ShowNotifications", PolicyKind::switch_value},
    {"UpdateCheckUrl", PolicyKind::address},
    {"AllowUserChoices", PolicyKind::switch_value},
    {"CheckIntervalMinutes", PolicyKind::minutes},
}};

// "SOFTWARE\Policies\<vendor_word>\UpdateNotifier", below HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
std::string policy_key_path(const std::string& vendor_word);

// The policy in force. A value set for the machine wins over the same value set for the user;
// a value of the wrong type, or a switch other than 0 or 1, counts as not set.
struct UpdatePolicy {
    bool check_for_updates = true;
    bool show_notifications = true;
    std::optional<std::string> update_check_url;
    // Whether the user may put a notice off ("Remind me later") or skip its version.
    bool allow_user_choices = true;
    std::optional<uint32_t> check_interval_minutes;
    // "EVENT_POLICY ..." lines: each value in force and its origin, each value ignored and why.
    std::vector<std::string> trace_lines;
};

// The value of one name below one root, as the registry holds it (or nothing).
using PolicySource = std::function<std::optional<RegistryValue>(RegistryRoot, const std::string& name)>;

UpdatePolicy read_update_policy(const PolicySource& source);

// The policy in this system's registry for the programs of vendor_word, its trace lines led by
// "EVENT_POLICY key: [SOFTWARE\Policies\<vendor_word>\UpdateNotifier]"; never throws for what
// the registry holds.
UpdatePolicy system_update_policy(const std::string& vendor_word);

}  // namespace checker
