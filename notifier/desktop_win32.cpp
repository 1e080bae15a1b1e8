// The Win32 desktop: the hidden window, its procedure and message loop, the retry timer.
#include "notifier/desktop_win32.hpp"

#include <exception>
#include <string>

#include "notifier/notifier_state.hpp"
#include "notifier/resource_ids.h"
#include "support/diagnostic_text.hpp"

namespace notifier {
namespace {

constexpr UINT_PTR retry_timer = 1;

LRESULT CALLBACK notifier_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // The desktop rides along with the creation request; messages before it are the default's.
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* desktop = reinterpret_cast<Win32Desktop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (desktop == nullptr) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    // Called by the platform: no exception may leave. A failed creation is refused, and a
    // failure while the window goes still ends the message loop.
    try {
        return desktop->handle_message(window, message, wparam, lparam);
    } catch (const std::exception& failure) {
        trace(std::string("ERROR: ") + failure.what());
    } catch (...) {
        trace("ERROR: unknown failure in the window procedure");
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(desktop->exit_status());
    }
    return message == WM_CREATE ? -1 : 0;
}

}  // namespace

std::unique_ptr<Desktop> make_desktop() {
    return std::make_unique<Win32Desktop>();
}

Win32Desktop::Win32Desktop()
    : apartment_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}

// Registers the hidden window's class and creates it; its creation prepares the icon. The window
// is a top-level popup that is never shown (no taskbar button, not in Alt+Tab): only top-level
// windows hear Explorer's "TaskbarCreated" broadcast, after which the icon must be added again.
bool Win32Desktop::open(DesktopEvents& events) {
    events_ = &events;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = 0;
    window_class.lpfnWndProc = notifier_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_NOTIFICATIONICON));
    window_class.lpszClassName = wide(window_class_name_.c_str());
    if (RegisterClassExW(&window_class) == 0) {
        trace("'RegisterClassExW' fail, error: [" + checker::system_error_message(GetLastError()) + "]");
        return false;
    }
    window_.reset(CreateWindowExW(WS_EX_TOOLWINDOW, wide(window_class_name_.c_str()), nullptr, WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, nullptr, this));
    if (!window_.valid()) {
        trace("'CreateWindowExW' fail, error: [" + checker::system_error_message(GetLastError()) + "]");
        return false;
    }
    return true;
}

int Win32Desktop::run_until_end() {
    MSG message{};
    BOOL received = FALSE;
    while ((received = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // GetMessageW gives -1 on failure; the loop ends then too rather than spinning.
    if (received < 0) {
        trace("'GetMessageW' fail, error: [" + checker::system_error_message(GetLastError()) + "]");
        return 1;
    }
    return static_cast<int>(message.wParam);
}

void Win32Desktop::end(int status) {
    exit_status_ = status;
    // WM_DESTROY removes the icon and posts the quit message.
    window_.reset();
}

bool Win32Desktop::start_retry_timer(uint32_t millis) {
    if (SetTimer(window_.get(), retry_timer, millis, nullptr) != 0) {
        return true;
    }
    trace("'SetTimer' fail, error: [" + checker::system_error_message(GetLastError()) + "]");
    return false;
}

void Win32Desktop::stop_retry_timer() {
    KillTimer(window_.get(), retry_timer);
}

// An icon event (NOTIFYICON_VERSION_4: the event in the low word of lParam).
void Win32Desktop::handle_icon_event(WORD event) {
    switch (event) {
    case WM_CONTEXTMENU: events_->icon_selected(Selection::context_menu); break;
    case NIN_SELECT: events_->icon_selected(Selection::click); break;
    case NIN_KEYSELECT: events_->icon_selected(Selection::key); break;
    case NIN_BALLOONUSERCLICK: events_->icon_selected(Selection::balloon_click); break;
    case NIN_BALLOONTIMEOUT: events_->balloon_timed_out(); break;
    default: break;
    }
}

LRESULT Win32Desktop::handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // Explorer broadcasts this to top-level windows when the taskbar is (re)created: every icon is gone.
    if (message == taskbar_created_message_ && message != 0) {
        events_->taskbar_created();
        return 0;
    }
    switch (message) {
    case WM_CREATE:
        trace("'WM_CREATE' event received");
        taskbar_created_message_ = RegisterWindowMessageW(wide(u"TaskbarCreated"));
        // Lets the broadcast through when the process runs with more rights than Explorer.
        ChangeWindowMessageFilterEx(window, taskbar_created_message_, MSGFLT_ALLOW, nullptr);
        return prepare_notification(window) ? 0 : -1;
    case WM_TIMER:
        if (wparam == retry_timer) {
            events_->retry_due();
        }
        return 0;
    case WM_DESTROY:
        trace("'WM_DESTROY' event received");
        KillTimer(window, retry_timer);
        delete_notification();
        PostQuitMessage(exit_status_);
        return 0;
    case WM_NCDESTROY:
        // The window is gone however its destruction began; the owner must not destroy it again.
        if (window_.get() == window) {
            window_.release();
        }
        return DefWindowProcW(window, message, wparam, lparam);
    case notification_callback_message:
        handle_icon_event(LOWORD(lparam));
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace notifier
