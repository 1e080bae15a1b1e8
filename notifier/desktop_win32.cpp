// The Win32 desktop: a hidden window with its procedure and message loop, its notification-area
// icon and balloon (Shell_NotifyIconW), the user's notification state, the update and error task
// dialogs, and ShellExecuteExW.
//
// Links user32, gdi32, shell32, ole32 and comctl32 (version 6, bound by the manifest).
#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>

#include "support/windows_api.hpp"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "notifier/balloon_picture.hpp"
#include "notifier/desktop.hpp"
#include "notifier/notifier_state.hpp"
#include "notifier/resource_ids.h"
#include "notifier/resource_strings.hpp"
#include "support/diagnostic_text.hpp"
#include "support/scoped_resource.hpp"
#include "support/system_error.hpp"
#include "support/windows_handles.hpp"

namespace notifier {
namespace {

const WCHAR* wide(const char16_t* text) {
    return reinterpret_cast<const WCHAR*>(text);
}
std::string error_text(DWORD code) {
    return checker::system_error_message(code);
}


// The icon's events arrive at the hidden window as this message; the icon is identified by the
// window and its id.
constexpr UINT notification_callback_message = WM_APP + 1;
static_assert(notification_callback_message == 0x8001, "WM_APP + 1");
constexpr UINT notification_icon_id = 1;
constexpr UINT icon_flags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO | NIF_SHOWTIP;
static_assert(icon_flags == 0x97, "message, icon, tooltip, balloon, standard tooltip");
// The balloon's own picture, drawn at the large size (the small one blurs a 128 x 128 picture).
constexpr DWORD balloon_flags = NIIF_USER | NIIF_LARGE_ICON | NIIF_NOSOUND | NIIF_RESPECT_QUIET_TIME;
static_assert(balloon_flags == 0xb4, "own picture, large, no sound, respect quiet time");
// The window's timer ids: Timer's values from 1 on.
constexpr UINT_PTR timer_id(Timer which) {
    return static_cast<UINT_PTR>(which) + 1;
}
constexpr UINT_PTR timer_count = 3;
constexpr TASKDIALOG_FLAGS dialog_flags =
    TDF_ENABLE_HYPERLINKS | TDF_ALLOW_DIALOG_CANCELLATION | TDF_EXPAND_FOOTER_AREA | TDF_SIZE_TO_CONTENT;
static_assert(dialog_flags == 0x01000049, "links, cancellation, footer expansion, sized to content");
// The ids of the dialog's own buttons, beside the common Cancel (IDCANCEL, 2).
constexpr int remind_button = 101, skip_button = 102;

// The browser is started before the program ends, and a failure is ours to report.
constexpr ULONG launch_flags = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
static_assert(launch_flags == 0x500, "synchronous, no shell error box");

// SHQueryUserNotificationState's answers from QUNS_NOT_PRESENT (1) on.
const char* const notification_states[] = {"not present", "busy", "full-screen Direct3D", "presentation mode",
                                           "accepts notifications", "quiet time", "app"};

template <std::size_t capacity>
constexpr int capacity_of(const WCHAR (&)[capacity]) {
    return static_cast<int>(capacity);
}

LRESULT CALLBACK notifier_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
HRESULT CALLBACK update_dialog_callback(HWND dialog, UINT notification, WPARAM, LPARAM lparam, LONG_PTR desktop);

class Win32Desktop final : public Desktop {
public:
    Win32Desktop() : apartment_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}

    // Registers the hidden window's class and creates it; its creation prepares the icon. The
    // window is a top-level popup that is never shown (no taskbar button, not in Alt+Tab): only
    // top-level windows hear Explorer's "TaskbarCreated" broadcast, after which the icon must be
    // added again.
    bool open(DesktopEvents& events) override {
        events_ = &events;
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.style = 0;
        window_class.lpfnWndProc = notifier_window_proc;
        window_class.hInstance = instance_;
        window_class.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_NOTIFICATIONICON));
        window_class.lpszClassName = wide(window_class_name);
        if (RegisterClassExW(&window_class) == 0) {
            trace("'RegisterClassExW' fail, error: [" + error_text(GetLastError()) + "]");
            return false;
        }
        window_.reset(CreateWindowExW(WS_EX_TOOLWINDOW, wide(window_class_name), nullptr, WS_POPUP, 0, 0, 0, 0,
                                      nullptr, nullptr, nullptr, this));
        if (!window_.valid()) {
            trace("'CreateWindowExW' fail, error: [" + error_text(GetLastError()) + "]");
            return false;
        }
        return true;
    }

    // Hands the prepared icon to the shell and asks for version 4 of the interface.
    IconOutcome show_icon(IconRequest request, bool with_balloon) override {
        NOTIFYICONDATAW data = prepared_;
        if (!with_balloon) {
            data.uFlags &= ~static_cast<UINT>(NIF_INFO);
        }
        if (request == IconRequest::add_again) {
            NOTIFYICONDATAW old_icon = icon_request();
            Shell_NotifyIconW(NIM_DELETE, &old_icon);
        }
        const bool landed = request == IconRequest::check_and_add && Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
        if (!landed && !Shell_NotifyIconW(NIM_ADD, &data)) {
            const std::string error = error_text(GetLastError());
            trace("'Shell_NotifyIconW' main fail, error: [" + error + "]");
            return IconOutcome{false, error};
        }
        data.uVersion = NOTIFYICON_VERSION_4;
        const bool version_applied = Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
        const std::string error = version_applied ? std::string() : error_text(GetLastError());
        trace("'Shell_NotifyIconW' version, result: [" + checker::to_string(version_applied) + "]");
        return IconOutcome{version_applied, error};
    }

    bool start_timer(Timer which, uint32_t millis) override {
        if (SetTimer(window_.get(), timer_id(which), millis, nullptr) != 0) {
            return true;
        }
        trace("'SetTimer' fail, error: [" + error_text(GetLastError()) + "]");
        return false;
    }
    void stop_timer(Timer which) override { KillTimer(window_.get(), timer_id(which)); }

    NoticeAttention user_attention() override {
        QUERY_USER_NOTIFICATION_STATE state{};
        const HRESULT result = SHQueryUserNotificationState(&state);
        if (result != S_OK || state < QUNS_NOT_PRESENT || state > QUNS_APP) {
            // Unknown: the balloon is not held back for ever on a guess.
            trace("'SHQueryUserNotificationState' fail, return: [" +
                  checker::to_string(static_cast<int32_t>(result)) + "]");
            return NoticeAttention{true, "unknown"};
        }
        return NoticeAttention{state == QUNS_ACCEPTS_NOTIFICATIONS, notification_states[state - QUNS_NOT_PRESENT]};
    }

    DialogAnswer run_update_dialog(bool offer_choices) override {
        const std::u16string remind_label = load_resource_string(string_remind_label);
        const std::u16string skip_label = load_resource_string(string_skip_label);
        const TASKDIALOG_BUTTON choices[] = {{remind_button, wide(remind_label.c_str())},
                                             {skip_button, wide(skip_label.c_str())}};
        const std::u16string title = load_resource_string(string_dialog_title);
        const std::u16string expand_label = load_resource_string(string_expand_label);
        const std::u16string address = load_resource_string(string_download_address);
        const std::u16string footer = u"<a href=\"" + address + u"\">" + address + u"</a>";
        TASKDIALOGCONFIG config{};
        config.cbSize = sizeof(config);
        // No owner: the dialog gets its own taskbar button, which flashes when Windows refuses
        // to bring it to the front.
        config.hwndParent = nullptr;
        config.hInstance = instance_;
        config.dwFlags = dialog_flags;
        config.dwCommonButtons = TDCBF_CANCEL_BUTTON;
        config.pButtons = offer_choices ? choices : nullptr;
        config.cButtons = offer_choices ? 2 : 0;
        // Return and the first focus stay on Cancel: a choice is only made on purpose.
        config.nDefaultButton = IDCANCEL;
        config.pszWindowTitle = wide(title.c_str());
        config.pszMainIcon = MAKEINTRESOURCEW(IDI_NOTIFICATIONICON);
        config.pszMainInstruction = wide(notifier_state.update_header.c_str());
        config.pszExpandedInformation = wide(notifier_state.update_text.c_str());
        config.pszExpandedControlText = wide(expand_label.c_str());
        config.pszFooterIcon = MAKEINTRESOURCEW(IDI_NOTIFICATIONICON);
        config.pszFooter = wide(footer.c_str());
        config.pfCallback = update_dialog_callback;
        config.lpCallbackData = reinterpret_cast<LONG_PTR>(this);
        config.cxWidth = 0;
        trace("is due to show update dialog");
        int pressed = 0;
        const HRESULT result = TaskDialogIndirect(&config, &pressed, nullptr, nullptr);
        trace("update dialog closed, result: [" + checker::to_string(static_cast<int32_t>(result)) + "]");
        // Ended while the dialog was up (the session's end): its modal loop may have taken the
        // quit message meant for ours.
        if (!window_.valid()) {
            PostQuitMessage(exit_status_);
        }
        return result != S_OK            ? DialogAnswer::closed
               : pressed == remind_button ? DialogAnswer::remind_later
               : pressed == skip_button   ? DialogAnswer::skip_version
                                          : DialogAnswer::closed;
    }
    void bring_update_dialog_to_front() override {
        if (open_dialog_ != nullptr) {
            SetForegroundWindow(open_dialog_);
        }
    }
    // A modal dialog ends through its own loop: Cancel is pressed there.
    void close_update_dialog() override { PostMessageW(open_dialog_, TDM_CLICK_BUTTON, IDCANCEL, 0); }

    bool open_download_page(const std::u16string& address) override {
        SHELLEXECUTEINFOW launch{};
        launch.cbSize = sizeof(launch);
        launch.fMask = launch_flags;
        launch.lpFile = wide(address.c_str());
        launch.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&launch)) {
            trace("'ShellExecuteExW' fail, error: [" + error_text(GetLastError()) + "]");
            return false;
        }
        return true;
    }
    // Shown over the update dialog; waits until it is closed.
    void show_browser_failure() override {
        const std::u16string title = load_resource_string(string_error_title);
        const std::u16string instruction = load_resource_string(string_error_text);
        TASKDIALOGCONFIG config{};
        config.cbSize = sizeof(config);
        config.hwndParent = open_dialog_;
        config.hInstance = instance_;
        config.dwCommonButtons = TDCBF_CLOSE_BUTTON;
        config.pszWindowTitle = wide(title.c_str());
        config.pszMainIcon = TD_ERROR_ICON;
        config.pszMainInstruction = wide(instruction.c_str());
        TaskDialogIndirect(&config, nullptr, nullptr, nullptr);
    }

    int run_until_end() override {
        MSG message{};
        BOOL received = FALSE;
        while ((received = GetMessageW(&message, nullptr, 0, 0)) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        // GetMessageW gives -1 on failure; the loop ends then too rather than spinning.
        if (received < 0) {
            trace("'GetMessageW' fail, error: [" + error_text(GetLastError()) + "]");
            return 1;
        }
        return static_cast<int>(message.wParam);
    }
    // WM_DESTROY removes the icon and posts the quit message with the status; an open update
    // dialog is cancelled.
    void end(int status) override {
        exit_status_ = status;
        if (open_dialog_ != nullptr) {
            close_update_dialog();
        }
        window_.reset();
    }

    int exit_status() const { return exit_status_; }

    LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
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
            if (wparam >= 1 && wparam <= timer_count) {
                events_->timer_due(static_cast<Timer>(wparam - 1));
            }
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The process may be ended as soon as this returns: the icon goes now.
            if (wparam != FALSE) {
                events_->session_ending();
            }
            return 0;
        case WM_DESTROY:
            trace("'WM_DESTROY' event received");
            for (UINT_PTR id = 1; id <= timer_count; ++id) {
                KillTimer(window, id);
            }
            delete_notification();
            PostQuitMessage(exit_status_);
            return 0;
        case WM_NCDESTROY:
            // However its destruction began, the window is gone: its owner must not destroy it again.
            if (window_.get() == window) {
                window_.release();
            }
            return DefWindowProcW(window, message, wparam, lparam);
        case notification_callback_message:
            // NOTIFYICON_VERSION_4: the event in the low word of lParam.
            switch (LOWORD(lparam)) {
            case WM_CONTEXTMENU: events_->icon_selected(Selection::context_menu); break;
            case NIN_SELECT: events_->icon_selected(Selection::click); break;
            case NIN_KEYSELECT: events_->icon_selected(Selection::key); break;
            case NIN_BALLOONUSERCLICK: events_->icon_selected(Selection::balloon_click); break;
            case NIN_BALLOONTIMEOUT: events_->balloon_timed_out(); break;
            case NIN_BALLOONHIDE: events_->balloon_hidden(); break;
            default: break;
            }
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
        }
    }

    void handle_dialog_notification(HWND dialog, UINT notification, LPARAM lparam) {
        if (notification == TDN_CREATED) {
            open_dialog_ = dialog;
        } else if (notification == TDN_DESTROYED) {
            open_dialog_ = nullptr;
        }
        if (notification != TDN_HYPERLINK_CLICKED) {
            trace("non-proceed dialog event received, code: [" +
                  checker::to_string(static_cast<uint32_t>(notification)) + "]");
            return;
        }
        events_->link_followed(reinterpret_cast<const char16_t*>(lparam));
    }

private:
    static constexpr const char16_t* window_class_name = u"e48e2be7-451e-48e5-8889-8c97c1485340";

    // A zeroed request that names the icon by its window and id.
    NOTIFYICONDATAW icon_request() const {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof(data);
        data.hWnd = prepared_.hWnd;
        data.uID = notification_icon_id;
        return data;
    }

    // Loads the icon, the balloon picture and the texts for the window; false on any failure,
    // which no retry mends.
    bool prepare_notification(HWND window) {
        trace("is due to add notification");
        prepared_.hWnd = window;
        NOTIFYICONDATAW data = icon_request();
        data.uFlags = icon_flags;
        data.uCallbackMessage = notification_callback_message;
        if (!load_pictures() || !load_texts(data)) {
            small_icon_.reset();
            balloon_icon_.reset();
            return false;
        }
        data.hIcon = small_icon_.get();
        data.hBalloonIcon = balloon_icon_.get();
        data.dwInfoFlags = balloon_flags;
        trace("balloon prepared, info flags: [" + checker::to_string(static_cast<uint32_t>(balloon_flags)) + "], picture: [" +
              describe_picture(balloon_icon_) + "]");
        prepared_ = data;
        return true;
    }

    bool load_pictures() {
        HICON loaded = nullptr;
        const HRESULT icon_result =
            LoadIconMetric(instance_, MAKEINTRESOURCEW(IDI_NOTIFICATIONICON), LIM_SMALL, &loaded);
        small_icon_.reset(loaded);
        if (icon_result != S_OK) {
            trace("'LoadIconMetric' fail, return: [" + checker::to_string(static_cast<int32_t>(icon_result)) + "]");
            return false;
        }
        std::string failed_call;
        balloon_icon_ = load_balloon_picture(notifier_state.balloon_icon_path, failed_call);
        if (!balloon_icon_.valid()) {
            trace("'" + failed_call + "' fail, error: [" + error_text(GetLastError()) + "]");
            return false;
        }
        return true;
    }

    bool load_texts(NOTIFYICONDATAW& data) {
        if (LoadStringW(instance_, string_tooltip, data.szTip, capacity_of(data.szTip)) == 0) {
            trace("'LoadStringW' for tooltip fail, error: [" + error_text(GetLastError()) + "]");
            return false;
        }
        if (LoadStringW(instance_, string_balloon_title, data.szInfoTitle, capacity_of(data.szInfoTitle)) == 0) {
            trace("'LoadStringW' for title fail, error: [" + error_text(GetLastError()) + "]");
            return false;
        }
        // A balloon text that does not fit with its terminator is not cut: the add fails.
        const std::u16string& balloon_text = notifier_state.balloon_text;
        if (balloon_text.size() >= static_cast<std::size_t>(capacity_of(data.szInfo))) {
            return false;
        }
        std::copy(balloon_text.begin(), balloon_text.end(), data.szInfo);
        data.szInfo[balloon_text.size()] = 0;
        return true;
    }

    // Removes the icon; the result is only traced.
    void delete_notification() {
        trace("is due to delete notification");
        NOTIFYICONDATAW data = icon_request();
        const bool deleted = Shell_NotifyIconW(NIM_DELETE, &data) != FALSE;
        trace("'Shell_NotifyIconW' delete, result: [" + checker::to_string(deleted) + "]");
    }

    const checker::ScopedResource<checker::ComApartment> apartment_;
    const HINSTANCE instance_ = GetModuleHandleW(nullptr);
    DesktopEvents* events_ = nullptr;
    UINT taskbar_created_message_ = 0;
    int exit_status_ = 0;
    // The request of every add, filled once; the icons it names are owned here.
    NOTIFYICONDATAW prepared_{};
    OwnedIcon small_icon_;
    OwnedIcon balloon_icon_;
    // The update dialog's own window while it is open.
    HWND open_dialog_ = nullptr;
    // Last, so that a window still there at the end goes before the icons its destruction removes.
    checker::ScopedResource<checker::WindowHandle> window_;
};

LRESULT CALLBACK notifier_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // The desktop comes with the creation request; what arrives before it goes to the default.
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

HRESULT CALLBACK update_dialog_callback(HWND dialog, UINT notification, WPARAM, LPARAM lparam, LONG_PTR desktop) {
    // Called by the platform: no exception may leave.
    try {
        reinterpret_cast<Win32Desktop*>(desktop)->handle_dialog_notification(dialog, notification, lparam);
    } catch (const std::exception& failure) {
        trace(std::string("ERROR: ") + failure.what());
    } catch (...) {
        trace("ERROR: unknown failure in the update dialog");
    }
    return S_OK;
}

}  // namespace

std::unique_ptr<Desktop> make_desktop() {
    return std::make_unique<Win32Desktop>();
}

}  // namespace notifier
