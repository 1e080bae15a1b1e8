// The update dialog (TaskDialogIndirect), its callback, and the browser-launch error dialog.
#include "notifier/update_dialog.hpp"

#include <cstdint>
#include <exception>
#include <string>

#include "notifier/notifier_state.hpp"
#include "notifier/resource_ids.h"
#include "notifier/resource_strings.hpp"
#include "support/diagnostic_text.hpp"
#include "support/text_conversion.hpp"

namespace notifier {
namespace {

constexpr TASKDIALOG_FLAGS dialog_flags =
    TDF_ENABLE_HYPERLINKS | TDF_ALLOW_DIALOG_CANCELLATION | TDF_EXPAND_FOOTER_AREA | TDF_SIZE_TO_CONTENT;
static_assert(dialog_flags == 0x01000049, "links, cancellation, footer expansion, sized to content");

// ShellExecuteW reports success with a value above this.
constexpr int64_t shell_execute_failure_limit = 32;

// The update dialog's own window while it is open.
HWND open_dialog = nullptr;

// Shown over the update dialog when the browser cannot be started; waits until it is closed.
void show_browser_error(HWND dialog) {
    const std::u16string title = load_resource_string(string_error_title);
    const std::u16string instruction = load_resource_string(string_error_text);
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = dialog;
    config.hInstance = notifier_state.instance_handle;
    config.dwCommonButtons = TDCBF_CLOSE_BUTTON;
    config.pszWindowTitle = wide(title.c_str());
    config.pszMainIcon = TD_ERROR_ICON;
    config.pszMainInstruction = wide(instruction.c_str());
    TaskDialogIndirect(&config, nullptr, nullptr, nullptr);
}

// Opens the download page; only the link that the dialog itself carries is followed, as the
// stored texts shown in the dialog could carry link markup of their own, and only an https
// address, so that a string table that failed to load never becomes a program to start.
void open_download_page(HWND dialog, const std::u16string& target) {
    if (target != load_resource_string(string_download_address) || target.compare(0, 8, u"https://") != 0) {
        trace("unexpected link not opened, href: [" + checker::narrow(target) + "]");
        return;
    }
    trace("update proceed selected");
    const HINSTANCE result = ShellExecuteW(nullptr, nullptr, wide(target.c_str()), nullptr, nullptr, SW_SHOW);
    const auto value = static_cast<int64_t>(reinterpret_cast<INT_PTR>(result));
    if (value <= shell_execute_failure_limit) {
        trace("'ShellExecuteW' fail, error: [" + checker::to_string(value) + "]");
        show_browser_error(dialog);
    }
    // A modal dialog ends through its own loop: the link is done with, then Cancel is pressed.
    PostMessageW(dialog, TDM_CLICK_BUTTON, IDCANCEL, 0);
}

HRESULT CALLBACK update_dialog_callback(HWND dialog, UINT notification, WPARAM, LPARAM lparam, LONG_PTR) {
    // Called by the platform: no exception may leave.
    try {
        if (notification == TDN_CREATED) {
            open_dialog = dialog;
        } else if (notification == TDN_DESTROYED) {
            open_dialog = nullptr;
        }
        if (notification != TDN_HYPERLINK_CLICKED) {
            trace("non-proceed dialog event received, code: [" + checker::to_string(static_cast<uint32_t>(notification)) +
                  "]");
            return S_OK;
        }
        open_download_page(dialog, utf16(reinterpret_cast<const WCHAR*>(lparam)));
    } catch (const std::exception& failure) {
        trace(std::string("ERROR: ") + failure.what());
    } catch (...) {
        trace("ERROR: unknown failure in the update dialog");
    }
    return S_OK;
}

}  // namespace

void show_update_dialog(HWND window) {
    const std::u16string title = load_resource_string(string_dialog_title);
    const std::u16string expand_label = load_resource_string(string_expand_label);
    const std::u16string address = load_resource_string(string_download_address);
    const std::u16string footer = u"<a href=\"" + address + u"\">" + address + u"</a>";

    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = window;
    config.hInstance = notifier_state.instance_handle;
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
    config.lpCallbackData = 0;
    config.cxWidth = 0;

    trace("is due to show update dialog");
    const HRESULT result = TaskDialogIndirect(&config, nullptr, nullptr, nullptr);
    trace("update dialog closed, result: [" + checker::to_string(static_cast<int32_t>(result)) + "]");
}

void bring_update_dialog_to_front() {
    if (open_dialog != nullptr) {
        SetForegroundWindow(open_dialog);
    }
}

}  // namespace notifier
