// The administrator's policy as the notifier sees it: whether notices may be shown.
#include "notifier/notifier_policy.hpp"

#include <exception>
#include <string>

#include "notifier/notifier_state.hpp"
#include "notifier/resource_strings.hpp"
#include "support/text_conversion.hpp"
#include "support/update_policy.hpp"

namespace notifier {

bool notices_allowed_by_policy() noexcept {
    try {
        const std::string vendor = checker::narrow(load_resource_string(string_vendor_folder));
        const checker::UpdatePolicy policy = checker::system_update_policy(vendor);
        for (const std::string& line : policy.trace_lines) {
            trace(line);
        }
        if (!policy.show_notifications) {
            trace("notices are turned off by policy (ShowNotifications)");
        }
        return policy.show_notifications;
    } catch (const std::exception& failure) {
        // A policy that cannot be read is one that is not set.
        trace(std::string("ERROR: ") + failure.what());
        return true;
    }
}

}  // namespace notifier
