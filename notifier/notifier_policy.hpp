// The administrator's policy as the notifier sees it: whether notices may be shown.
#pragma once

namespace notifier {

// Reads and traces the policy under the vendor word of string 147; false when
// ShowNotifications turns the notices off. Never throws.
bool notices_allowed_by_policy() noexcept;

}  // namespace notifier
