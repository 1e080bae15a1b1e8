// The administrator's policy as the notifier sees it: whether notices may be shown, and whether
// the user may put them off or skip a version.
#pragma once

namespace notifier {

struct NoticePolicy {
    bool show_notices = true;
    bool allow_user_choices = true;
};

// Reads and traces the policy under the vendor word of string 147 (ShowNotifications,
// AllowUserChoices). Never throws: a policy that cannot be read is one that is not set.
NoticePolicy notice_policy() noexcept;

}  // namespace notifier
