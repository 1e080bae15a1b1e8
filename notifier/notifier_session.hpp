// The run's decisions: which state follows each desktop event, when to retry the icon, when the run ends with which status.
#pragma once

#include <string>

#include "notifier/desktop.hpp"

namespace notifier {

// Where the run stands.
enum class RunState {
    waiting_for_taskbar,  // no icon yet: retried on the timer and when the taskbar is created
    showing,              // icon shown (its balloon up, gone or held back), the dialog not opened yet
    dialog_open,          // the update dialog is up; its close ends the run
    ending,               // the desktop was told to end
};

class NotifierSession final : public DesktopEvents {
public:
    // download_address: the one link the dialog may open; offer_choices: whether the dialog
    // offers "Remind me later" and "Skip this version".
    NotifierSession(Desktop& desktop, std::u16string download_address, bool offer_choices);

    // Shows the icon for the first time; the desktop is open.
    void start();
    RunState state() const { return run_state_; }
    // How the update dialog ended; closed while it has not.
    DialogAnswer answer() const { return answer_; }

    void icon_selected(Selection how) override;
    void balloon_timed_out() override;
    void balloon_hidden() override;
    void taskbar_created() override;
    void timer_due(Timer which) override;
    void session_ending() override;
    void link_followed(const std::u16string& target) override;

private:
    void try_icon(IconRequest request);
    void icon_missing(const std::string& error);
    void retry_icon();
    void balloon_gone();
    bool balloon_held_back();
    void end_run(int status);

    Desktop& desktop_;
    const std::u16string download_address_;
    const bool offer_choices_;
    DialogAnswer answer_ = DialogAnswer::closed;
    RunState run_state_ = RunState::waiting_for_taskbar;
    int retries_done_ = 0;
    bool retry_scheduled_ = false;
};

}  // namespace notifier
