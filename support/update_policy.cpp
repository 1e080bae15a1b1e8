// The administrator's switches for the update checks: machine value over user value, one by one.
#include "update_policy.hpp"

#include "diagnostic_text.hpp"

namespace checker {
namespace {

const char* root_name(RegistryRoot root) {
    return root == RegistryRoot::machine ? "HKLM" : "HKCU";
}

// Why a value that is present cannot be used; empty when it can.
std::string rejection(const RegistryValue& value, PolicyKind kind) {
    if (kind == PolicyKind::switch_value) {
        if (value.type != RegistryValue::Type::dword) {
            return "not a DWORD";
        }
        if (value.number > 1) {
            return "a DWORD other than 0 or 1: " + to_string(value.number);
        }
        return "";
    }
    if (kind == PolicyKind::minutes) {
        if (value.type != RegistryValue::Type::dword) {
            return "not a DWORD";
        }
        return value.number > max_policy_minutes ? "a DWORD above " + to_string(max_policy_minutes) + ": " +
                                                       to_string(value.number)
                                                 : "";
    }
    return value.type == RegistryValue::Type::text ? "" : "not a text (REG_SZ)";
}

// "EVENT_POLICY <name> <state>, source: [HKLM]" and the tail.
std::string source_line(const std::string& name, const std::string& state, RegistryRoot root,
                        const std::string& tail) {
    std::string line = "EVENT_POLICY " + name + " " + state + ", source: [" + root_name(root) + "]";
    line += tail;
    return line;
}

}  // namespace

std::string policy_key_path(const std::string& vendor_word) {
    return "SOFTWARE\\Policies\\" + vendor_word + "\\UpdateNotifier";
}

UpdatePolicy read_update_policy(const PolicySource& source) {
    UpdatePolicy policy;
    for (const PolicyValueName& entry : policy_values) {
        const std::string name = entry.name;
        std::optional<RegistryValue> taken;
        for (const RegistryRoot root : {RegistryRoot::machine, RegistryRoot::user}) {
            std::optional<RegistryValue> value = source(root, name);
            if (!value) {
                continue;
            }
            const std::string reason = rejection(*value, entry.kind);
            if (!reason.empty()) {
                policy.trace_lines.push_back(source_line(name, "ignored", root, ", reason: [" + reason + "]"));
                continue;
            }
            // The address is not traced: it may carry a password. The transfer traces it without one.
            const std::string shown = entry.kind == PolicyKind::address ? "set" : to_string(value->number);
            policy.trace_lines.push_back(source_line(name, shown, root, ""));
            taken = std::move(value);
            break;
        }
        if (!taken) {
            policy.trace_lines.push_back("EVENT_POLICY " + name + " not configured");
        } else if (name == "CheckForUpdates") {
            policy.check_for_updates = taken->number == 1;
        } else if (name == "ShowNotifications") {
            policy.show_notifications = taken->number == 1;
        } else if (name == "AllowUserChoices") {
            policy.allow_user_choices = taken->number == 1;
        } else if (name == "CheckIntervalMinutes") {
            policy.check_interval_minutes = taken->number;
        } else {
            policy.update_check_url = taken->text;
        }
    }
    return policy;
}

UpdatePolicy system_update_policy(const std::string& vendor_word) {
    const std::string key_path = policy_key_path(vendor_word);
    UpdatePolicy policy = read_update_policy([&key_path](RegistryRoot root, const std::string& name) {
        return read_registry_value(root, key_path, name);
    });
    policy.trace_lines.insert(policy.trace_lines.begin(), "EVENT_POLICY key: [" + key_path + "]");
    return policy;
}

}  // namespace checker
