// The hidden window's procedure: the run's states and end, the icon's events, the taskbar's (re)start and the icon retries.
#include "notifier/window_procedure.hpp"

#include <exception>
#include <string>

#include "notifier/notification_icon.hpp"
#include "notifier/notifier_state.hpp"
#include "notifier/update_dialog.hpp"
#include "support/diagnostic_text.hpp"

namespace notifier {
namespace {

// Where the run stands. Only end_or_go_on (and end_run, which it calls) changes it and ends the run.
enum class RunState {
    waiting_for_taskbar,  // no icon yet: retried on the timer and on "TaskbarCreated"
    showing,              // icon (and balloon) shown, the dialog not opened yet
    dialog_open,          // the update dialog is up; its close ends the run
    ending,               // the window is being destroyed
};

// What happened to the run.
enum class RunEvent { icon_shown, icon_missing, retry_due, icon_selected, balloon_timed_out, dialog_closed };

// Icon retries 1, 2, 4 ... 64 s apart: about two minutes from the first failure to giving up.
constexpr UINT_PTR retry_timer = 1;
constexpr int retry_limit = 7;
constexpr UINT first_retry_ms = 1000;

RunState run_state = RunState::waiting_for_taskbar;
int exit_status = 0;
int retries_done = 0;
bool retry_scheduled = false;
UINT taskbar_created_message = 0;

void end_run(HWND window, int status) {
    run_state = RunState::ending;
    exit_status = status;
    DestroyWindow(window);
}

void try_icon(HWND window, IconRequest request);

// The one place that decides how the run goes on: which state follows, and when it ends with which status.
void end_or_go_on(HWND window, RunEvent event) {
    switch (event) {
    case RunEvent::icon_shown:
        retries_done = 0;
        retry_scheduled = false;
        KillTimer(window, retry_timer);
        if (run_state == RunState::waiting_for_taskbar) {
            run_state = RunState::showing;
        }
        break;
    case RunEvent::icon_missing: {
        const DWORD icon_error = GetLastError();
        if (run_state == RunState::showing) {
            run_state = RunState::waiting_for_taskbar;
        }
        if (retry_scheduled) {
            break;
        }
        if (retries_done == retry_limit) {
            trace("taskbar not available in time, giving up, error: [" + system_error_text(icon_error) + "]");
            // An open dialog is left to the user; without one nothing is shown and the run ends.
            if (run_state == RunState::waiting_for_taskbar) {
                end_run(window, 1);
            }
            break;
        }
        trace("icon not shown, next try in " + checker::to_string(1u << retries_done) + " s");
        retry_scheduled = SetTimer(window, retry_timer, first_retry_ms << retries_done, nullptr) != 0;
        if (!retry_scheduled) {
            trace("'SetTimer' fail, error: [" + system_error_text(GetLastError()) + "]");
            end_run(window, 1);
        }
        break;
    }
    case RunEvent::retry_due:
        KillTimer(window, retry_timer);
        retry_scheduled = false;
        ++retries_done;
        try_icon(window, IconRequest::check_and_add);
        break;
    case RunEvent::icon_selected:
        if (run_state == RunState::dialog_open) {
            trace("additional update dialog prevented");
            bring_update_dialog_to_front();
        } else if (run_state == RunState::showing) {
            run_state = RunState::dialog_open;
            show_update_dialog(window);
            end_or_go_on(window, RunEvent::dialog_closed);
        }
        break;
    case RunEvent::balloon_timed_out:
        // While the dialog is open the window stays; the dialog's close ends the run.
        if (run_state == RunState::showing) {
            trace("'NIN_BALLOONTIMEOUT' proceed");
            end_run(window, 0);
        }
        break;
    case RunEvent::dialog_closed:
        if (run_state != RunState::ending) {
            end_run(window, 0);
        }
        break;
    }
}

// Shows the icon; the balloon again only while the user has not opened the dialog.
void try_icon(HWND window, IconRequest request) {
    const bool shown = show_notification(request, run_state != RunState::dialog_open);
    end_or_go_on(window, shown ? RunEvent::icon_shown : RunEvent::icon_missing);
}

// An icon event (NOTIFYICON_VERSION_4: the event in the low word of lParam).
void handle_icon_event(HWND window, WORD event) {
    switch (event) {
    case WM_CONTEXTMENU:
        trace("'WM_CONTEXTMENU' event received");
        end_or_go_on(window, RunEvent::icon_selected);
        break;
    case NIN_SELECT:
        trace("'NIN_SELECT' event received");
        end_or_go_on(window, RunEvent::icon_selected);
        break;
    case NIN_KEYSELECT:
        trace("'NIN_KEYSELECT' event received");
        end_or_go_on(window, RunEvent::icon_selected);
        break;
    case NIN_BALLOONUSERCLICK:
        trace("'NIN_BALLOONUSERCLICK' event received");
        end_or_go_on(window, RunEvent::icon_selected);
        break;
    case NIN_BALLOONTIMEOUT:
        trace("'NIN_BALLOONTIMEOUT' event received");
        end_or_go_on(window, RunEvent::balloon_timed_out);
        break;
    default:
        break;
    }
}

LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // Explorer broadcasts this to top-level windows when the taskbar is (re)created: every icon is gone.
    if (message == taskbar_created_message && message != 0) {
        trace("'TaskbarCreated' event received");
        if (run_state != RunState::ending) {
            try_icon(window, IconRequest::add_again);
        }
        return 0;
    }
    switch (message) {
    case WM_CREATE:
        trace("'WM_CREATE' event received");
        taskbar_created_message = RegisterWindowMessageW(wide(u"TaskbarCreated"));
        // Lets the broadcast through when the process runs with more rights than Explorer.
        ChangeWindowMessageFilterEx(window, taskbar_created_message, MSGFLT_ALLOW, nullptr);
        if (!prepare_notification(window)) {
            return -1;
        }
        try_icon(window, IconRequest::add);
        return 0;
    case WM_TIMER:
        if (wparam == retry_timer) {
            trace("icon retry due");
            end_or_go_on(window, RunEvent::retry_due);
        }
        return 0;
    case WM_DESTROY:
        trace("'WM_DESTROY' event received");
        KillTimer(window, retry_timer);
        delete_notification();
        PostQuitMessage(exit_status);
        return 0;
    case notification_callback_message:
        handle_icon_event(window, LOWORD(lparam));
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

LRESULT CALLBACK notifier_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // Called by the platform: no exception may leave. A failed creation is refused, and a
    // failure while the window goes still ends the message loop.
    try {
        return handle_message(window, message, wparam, lparam);
    } catch (const std::exception& failure) {
        trace(std::string("ERROR: ") + failure.what());
    } catch (...) {
        trace("ERROR: unknown failure in the window procedure");
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(exit_status);
    }
    return message == WM_CREATE ? -1 : 0;
}

}  // namespace notifier
