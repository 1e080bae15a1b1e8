// What the notifier asks of the user's desktop, and what the desktop tells it back, in the notifier's words.
//
// Platform seam: desktop_win32.cpp (a hidden window, the notification area, task dialogs, the
// shell) and desktop_posix.cpp (a scripted desktop that plays NOTIFIER_USER_ACTIONS and writes
// what a person would see to standard error). make_desktop gives the platform's one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace notifier {

// How the icon is to be shown.
enum class IconRequest {
    add,            // the first time
    check_and_add,  // a retry: an add that timed out may have landed, so the icon is looked for first
    add_again,      // after the taskbar was (re)created: the old icon is removed (whatever the result), then added
};

// How the user picked the icon.
enum class Selection { click, key, balloon_click, context_menu };

// The run's timers. Each comes due after the time it was started with, and again every such
// time until it is stopped.
enum class Timer {
    icon_retry,      // the icon could not be shown: try again
    balloon_retry,   // the user could not see the balloon: look again whether they can now
    unanswered_end,  // the icon has waited long enough: the next trigger shows it again
};

// Whether the user can see a notice now; state names the shell's reason, for the trace.
struct NoticeAttention {
    bool can_see = true;
    std::string state;
};

// How the update dialog ended: closed (Cancel, the close box, after the link), or with one of the
// user's choices.
enum class DialogAnswer { closed, remind_later, skip_version };

// What became of a request to show the icon; error names the reason when it is not shown.
struct IconOutcome {
    bool shown = false;
    std::string error;
};

// What the desktop tells the notifier, one call at a time, while it runs.
class DesktopEvents {
public:
    virtual ~DesktopEvents() = default;
    virtual void icon_selected(Selection how) = 0;
    virtual void balloon_timed_out() = 0;
    // The shell took the balloon away before its time (the icon stays).
    virtual void balloon_hidden() = 0;
    // The taskbar was created or restarted: every icon is gone.
    virtual void taskbar_created() = 0;
    virtual void timer_due(Timer which) = 0;
    // The user's session ends (log-off, shut-down, restart): nothing may hold it up.
    virtual void session_ending() = 0;
    // A link of the update dialog was followed; target is its address as the dialog gave it.
    virtual void link_followed(const std::u16string& target) = 0;
};

class Desktop {
public:
    Desktop() = default;
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;
    virtual ~Desktop() = default;

    // Loads the icon, its balloon picture and texts; false when that fails, which no retry mends.
    // Events go to `events` from now on.
    virtual bool open(DesktopEvents& events) = 0;
    // Shows the icon, with its balloon or without it.
    virtual IconOutcome show_icon(IconRequest request, bool with_balloon) = 0;
    // timer_due(which) comes after `millis`, and again every `millis` until the timer is stopped
    // or started anew; false when no timer can be set (traced).
    virtual bool start_timer(Timer which, uint32_t millis) = 0;
    virtual void stop_timer(Timer which) = 0;
    // Asks the shell whether the user can see a notice now (not in quiet time, presentation mode,
    // a full-screen program or away).
    virtual NoticeAttention user_attention() = 0;
    // Shows the update dialog, with the "Remind me later" and "Skip this version" buttons when
    // offer_choices, and returns how it ended; events keep coming meanwhile.
    virtual DialogAnswer run_update_dialog(bool offer_choices) = 0;
    virtual void bring_update_dialog_to_front() = 0;
    // Closes the open update dialog through its own Cancel button.
    virtual void close_update_dialog() = 0;
    // Hands an https address to the browser; false when it cannot be started (traced).
    virtual bool open_download_page(const std::u16string& address) = 0;
    // Tells the user that the browser could not be started; returns when that is read.
    virtual void show_browser_failure() = 0;
    // Delivers events until end is called; returns the status given to end, or 1 when the
    // desktop can deliver nothing more.
    virtual int run_until_end() = 0;
    // Removes the icon and ends run_until_end with this status.
    virtual void end(int status) = 0;
};

std::unique_ptr<Desktop> make_desktop();

}  // namespace notifier
