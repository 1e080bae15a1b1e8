// The run's decisions, taken one desktop event at a time.
#include "notifier/notifier_session.hpp"

#include <utility>

#include "notifier/notifier_state.hpp"
#include "support/diagnostic_text.hpp"
#include "support/text_conversion.hpp"

namespace notifier {
namespace {

// Icon retries 1, 2, 4 ... 64 s apart: about two minutes from the first failure to giving up.
constexpr int retry_limit = 7;
constexpr uint32_t first_retry_ms = 1000;
// A balloon the user could not see is offered again once a minute.
constexpr uint32_t balloon_retry_ms = 60 * 1000;
// An icon nobody answers goes after 8 hours; the next trigger shows it again.
constexpr uint32_t unanswered_end_ms = 8 * 60 * 60 * 1000;

// The trace names each selection by the shell's event, in the order of Selection.
const char* const event_names[] = {"NIN_SELECT", "NIN_KEYSELECT", "NIN_BALLOONUSERCLICK", "WM_CONTEXTMENU"};

}  // namespace

NotifierSession::NotifierSession(Desktop& desktop, std::u16string download_address, bool offer_choices)
    : desktop_(desktop), download_address_(std::move(download_address)), offer_choices_(offer_choices) {}

void NotifierSession::start() {
    desktop_.start_timer(Timer::unanswered_end, unanswered_end_ms);
    try_icon(IconRequest::add);
}

void NotifierSession::end_run(int status) {
    run_state_ = RunState::ending;
    desktop_.end(status);
}

// Shows the icon; the balloon again only while the user has not opened the dialog.
void NotifierSession::try_icon(IconRequest request) {
    const bool with_balloon = run_state_ != RunState::dialog_open;
    const IconOutcome outcome = desktop_.show_icon(request, with_balloon);
    if (!outcome.shown) {
        icon_missing(outcome.error);
        return;
    }
    retries_done_ = 0;
    retry_scheduled_ = false;
    desktop_.stop_timer(Timer::icon_retry);
    if (run_state_ == RunState::waiting_for_taskbar) {
        run_state_ = RunState::showing;
    }
    // The shell drops a balloon the user cannot see (quiet time, presentation mode, a
    // full-screen program), often without a word.
    if (with_balloon) {
        balloon_held_back();
    }
}

// True when the user cannot see a balloon now; it is then offered again on the timer.
bool NotifierSession::balloon_held_back() {
    const NoticeAttention attention = desktop_.user_attention();
    if (attention.can_see) {
        desktop_.stop_timer(Timer::balloon_retry);
        return false;
    }
    trace("balloon not seen, user notification state: [" + attention.state + "], next try in " +
          checker::to_string(balloon_retry_ms / 1000) + " s");
    desktop_.start_timer(Timer::balloon_retry, balloon_retry_ms);
    return true;
}

void NotifierSession::icon_missing(const std::string& error) {
    if (run_state_ == RunState::showing) {
        run_state_ = RunState::waiting_for_taskbar;
    }
    if (retry_scheduled_) {
        return;
    }
    if (retries_done_ == retry_limit) {
        trace("taskbar not available in time, giving up, error: [" + error + "]");
        // An open dialog is left to the user; without one nothing is shown and the run ends.
        if (run_state_ == RunState::waiting_for_taskbar) {
            end_run(1);
        }
        return;
    }
    trace("icon not shown, next try in " + checker::to_string(1u << retries_done_) + " s");
    retry_scheduled_ = desktop_.start_timer(Timer::icon_retry, first_retry_ms << retries_done_);
    if (!retry_scheduled_) {
        end_run(1);
    }
}

void NotifierSession::retry_icon() {
    trace("icon retry due");
    retry_scheduled_ = false;
    ++retries_done_;
    try_icon(IconRequest::check_and_add);
}

void NotifierSession::timer_due(Timer which) {
    desktop_.stop_timer(which);
    if (run_state_ == RunState::ending) {
        return;
    }
    switch (which) {
    case Timer::icon_retry: retry_icon(); break;
    case Timer::balloon_retry:
        // Shown again (the icon modified, or added when it went missing) once the user can see it.
        if (run_state_ == RunState::showing && !balloon_held_back()) {
            trace("balloon shown again");
            try_icon(IconRequest::check_and_add);
        }
        break;
    case Timer::unanswered_end:
        // An open dialog is the user's answer: its close ends the run.
        if (run_state_ != RunState::dialog_open) {
            trace("icon not answered in " + checker::to_string(unanswered_end_ms / 3600000) + " hours, ending");
            end_run(0);
        }
        break;
    }
}

void NotifierSession::session_ending() {
    trace("'WM_ENDSESSION' event received");
    if (run_state_ != RunState::ending) {
        end_run(0);
    }
}

void NotifierSession::taskbar_created() {
    trace("'TaskbarCreated' event received");
    if (run_state_ != RunState::ending) {
        try_icon(IconRequest::add_again);
    }
}

void NotifierSession::icon_selected(Selection how) {
    trace(std::string("'") + event_names[static_cast<int>(how)] + "' event received");
    if (run_state_ == RunState::dialog_open) {
        trace("additional update dialog prevented");
        desktop_.bring_update_dialog_to_front();
    } else if (run_state_ == RunState::showing) {
        run_state_ = RunState::dialog_open;
        answer_ = desktop_.run_update_dialog(offer_choices_);
        if (answer_ != DialogAnswer::closed) {
            trace(answer_ == DialogAnswer::remind_later ? "'Remind me later' selected" : "'Skip this version' selected");
        }
        if (run_state_ != RunState::ending) {
            end_run(0);
        }
    }
}

void NotifierSession::balloon_timed_out() {
    trace("'NIN_BALLOONTIMEOUT' event received");
    balloon_gone();
}

void NotifierSession::balloon_hidden() {
    trace("'NIN_BALLOONHIDE' event received");
    balloon_gone();
}

// The icon stays with its tooltip (and the notice in the notification centre) until the user
// selects it; a balloon they could not see comes again.
void NotifierSession::balloon_gone() {
    if (run_state_ == RunState::showing && !balloon_held_back()) {
        trace("balloon gone, the icon stays until it is selected");
    }
}

// Only the link that the dialog itself carries is followed, as the stored texts shown in the
// dialog could carry link markup of their own, and only an https address, so that a string table
// that failed to load never becomes a program to start.
void NotifierSession::link_followed(const std::u16string& target) {
    if (target != download_address_ || target.compare(0, 8, u"https://") != 0) {
        trace("unexpected link not opened, href: [" + checker::narrow(target) + "]");
        return;
    }
    trace("update proceed selected");
    if (!desktop_.open_download_page(target)) {
        desktop_.show_browser_failure();
    }
    // The link is done with: the dialog ends through its own Cancel button.
    desktop_.close_update_dialog();
}

}  // namespace notifier
