// The Win32 desktop's parts, shared by its files: a hidden window, its notification-area icon, the task dialogs.
//
// Links user32, gdi32, shell32, ole32 and comctl32 (version 6, bound by the manifest). UTF-16
// text is held as char16_t; `wide` hands it to the SDK as WCHAR.
#pragma once

#include <string>

#include "support/windows_api.hpp"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "notifier/desktop.hpp"
#include "support/scoped_resource.hpp"

namespace notifier {

inline const WCHAR* wide(const char16_t* text) {
    return reinterpret_cast<const WCHAR*>(text);
}

struct IconHandle {
    using Value = HICON;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { DestroyIcon(value); }
};
using OwnedIcon = checker::ScopedResource<IconHandle>;

struct WindowHandle {
    using Value = HWND;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { DestroyWindow(value); }
};

// The run's single-threaded COM apartment, which ShellExecuteW may need for its handlers; closed
// only when it was opened here.
struct ComApartment {
    using Value = bool;
    static Value empty() noexcept { return false; }
    static void close(Value) noexcept { CoUninitialize(); }
};

// The icon's events arrive at the hidden window as this message (WM_APP + 1).
constexpr UINT notification_callback_message = WM_APP + 1;

class Win32Desktop final : public Desktop {
public:
    Win32Desktop();

    bool open(DesktopEvents& events) override;
    IconOutcome show_icon(IconRequest request, bool with_balloon) override;
    bool start_retry_timer(uint32_t millis) override;
    void stop_retry_timer() override;
    void run_update_dialog() override;
    void bring_update_dialog_to_front() override;
    void close_update_dialog() override;
    bool open_download_page(const std::u16string& address) override;
    void show_browser_failure() override;
    int run_until_end() override;
    void end(int status) override;

    // The window procedure's and the update dialog callback's work; both may throw.
    LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void handle_dialog_notification(HWND dialog, UINT notification, LPARAM lparam);
    int exit_status() const { return exit_status_; }

private:
    // Loads the icon, the balloon picture and the texts for the window; false on any failure.
    bool prepare_notification(HWND window);
    bool load_pictures();
    bool load_texts(NOTIFYICONDATAW& data);
    // A zeroed request that names the icon by its window and id.
    NOTIFYICONDATAW icon_request() const;
    // Removes the icon; the result is only traced.
    bool delete_notification();
    void handle_icon_event(WORD event);

    const checker::ScopedResource<ComApartment> apartment_;
    std::u16string window_class_name_ = u"e48e2be7-451e-48e5-8889-8c97c1485340";
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
    checker::ScopedResource<WindowHandle> window_;
};

}  // namespace notifier
