// The administrator's policy as the notifier sees it.
#include "notifier/notifier_policy.hpp"

#include <exception>
#include <string>

#include "notifier/notifier_state.hpp"
#include "notifier/resource_strings.hpp"
#include "support/text_conversion.hpp"
#include "support/update_policy.hpp"

namespace notifier {

NoticePolicy notice_policy() noexcept {
    try {
        const std::string vendor = checker::narrow(load_resource_string(string_vendor_folder));
        const checker::UpdatePolicy policy = checker::system_update_policy(vendor);
        for (const std::string& line : policy.trace_lines) {
            trace(line);
        }
        if (!policy.show_notifications) {
            trace("notices are turned off by policy (ShowNotifications)");
        }
        return NoticePolicy{policy.show_notifications, policy.allow_user_choices};
    } catch (const std::exception& failure) {
        trace(std::string("ERROR: ") + failure.what());
        return NoticePolicy{};
    }
}

}  // namespace notifier
