// The Win32 desktop's update dialog (TaskDialogIndirect) and its callback, the browser (ShellExecuteW) and the error dialog.
#include <cstdint>
#include <exception>
#include <string>

#include "notifier/desktop_win32.hpp"
#include "notifier/notifier_state.hpp"
#include "notifier/resource_ids.h"
#include "notifier/resource_strings.hpp"
#include "support/diagnostic_text.hpp"

namespace notifier {
namespace {

constexpr TASKDIALOG_FLAGS dialog_flags =
    TDF_ENABLE_HYPERLINKS | TDF_ALLOW_DIALOG_CANCELLATION | TDF_EXPAND_FOOTER_AREA | TDF_SIZE_TO_CONTENT;
static_assert(dialog_flags == 0x01000049, "links, cancellation, footer expansion, sized to content");

// ShellExecuteW reports success with a value above this.
constexpr int64_t shell_execute_failure_limit = 32;

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

void Win32Desktop::handle_dialog_notification(HWND dialog, UINT notification, LPARAM lparam) {
    if (notification == TDN_CREATED) {
        open_dialog_ = dialog;
    } else if (notification == TDN_DESTROYED) {
        open_dialog_ = nullptr;
    }
    if (notification != TDN_HYPERLINK_CLICKED) {
        trace("non-proceed dialog event received, code: [" + checker::to_string(static_cast<uint32_t>(notification)) +
              "]");
        return;
    }
    events_->link_followed(reinterpret_cast<const char16_t*>(lparam));
}

void Win32Desktop::run_update_dialog() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const std::u16string title = load_resource_string(string_dialog_title);
    const std::u16string expand_label = load_resource_string(string_expand_label);
    const std::u16string address = load_resource_string(string_download_address);
    const std::u16string footer = u"<a href=\"" + address + u"\">" + address + u"</a>";

    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = window_.get();
    config.hInstance = instance;
    config.dwFlags = dialog_flags;
    config.dwCommonButtons = TDCBF_CANCEL_BUTTON;
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
    const HRESULT result = TaskDialogIndirect(&config, nullptr, nullptr, nullptr);
    trace("update dialog closed, result: [" + checker::to_string(static_cast<int32_t>(result)) + "]");
}

void Win32Desktop::bring_update_dialog_to_front() {
    if (open_dialog_ != nullptr) {
        SetForegroundWindow(open_dialog_);
    }
}

// A modal dialog ends through its own loop: Cancel is pressed there.
void Win32Desktop::close_update_dialog() {
    PostMessageW(open_dialog_, TDM_CLICK_BUTTON, IDCANCEL, 0);
}

bool Win32Desktop::open_download_page(const std::u16string& address) {
    const HINSTANCE result = ShellExecuteW(nullptr, nullptr, wide(address.c_str()), nullptr, nullptr, SW_SHOW);
    const auto value = static_cast<int64_t>(reinterpret_cast<INT_PTR>(result));
    if (value <= shell_execute_failure_limit) {
        trace("'ShellExecuteW' fail, error: [" + checker::to_string(value) + "]");
        return false;
    }
    return true;
}

// Shown over the update dialog; waits until it is closed.
void Win32Desktop::show_browser_failure() {
    const std::u16string title = load_resource_string(string_error_title);
    const std::u16string instruction = load_resource_string(string_error_text);
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = open_dialog_;
    config.hInstance = GetModuleHandleW(nullptr);
    config.dwCommonButtons = TDCBF_CLOSE_BUTTON;
    config.pszWindowTitle = wide(title.c_str());
    config.pszMainIcon = TD_ERROR_ICON;
    config.pszMainInstruction = wide(instruction.c_str());
    TaskDialogIndirect(&config, nullptr, nullptr, nullptr);
}

}  // namespace notifier
