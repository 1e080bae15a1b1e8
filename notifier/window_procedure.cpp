// The hidden window's procedure.
#include "notifier/window_procedure.hpp"

#include <exception>
#include <string>

#include "notifier/notification_icon.hpp"
#include "notifier/notifier_state.hpp"
#include "notifier/update_dialog.hpp"

namespace notifier {
namespace {

// An icon event (NOTIFYICON_VERSION_4: the event in the low word of lParam).
void handle_icon_event(HWND window, WORD event) {
    switch (event) {
    case WM_CONTEXTMENU:
        trace("'WM_CONTEXTMENU' event received");
        show_update_dialog(window);
        break;
    case NIN_SELECT:
        trace("'NIN_SELECT' event received");
        show_update_dialog(window);
        break;
    case NIN_BALLOONUSERCLICK:
        trace("'NIN_BALLOONUSERCLICK' event received");
        show_update_dialog(window);
        break;
    case NIN_BALLOONTIMEOUT:
        trace("'NIN_BALLOONTIMEOUT' event received");
        // While the dialog is open the window stays; the dialog's close ends the run.
        if (notifier_state.dialog_shown == 0) {
            trace("'NIN_BALLOONTIMEOUT' proceed");
            DestroyWindow(window);
        }
        break;
    default:
        break;
    }
}

LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        trace("'WM_CREATE' event received");
        return add_notification(window) ? 0 : -1;
    case WM_DESTROY:
        trace("'WM_DESTROY' event received");
        delete_notification(window);
        PostQuitMessage(0);
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
        PostQuitMessage(0);
    }
    return message == WM_CREATE ? -1 : 0;
}

}  // namespace notifier
