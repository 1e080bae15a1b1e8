// Adds and removes the notifier's notification-area icon and balloon (Shell_NotifyIconW).
#include "notifier/notification_icon.hpp"

#include <algorithm>
#include <cstdint>
#include <string>

#include "notifier/balloon_picture.hpp"
#include "notifier/notifier_state.hpp"
#include "notifier/resource_ids.h"
#include "notifier/resource_strings.hpp"
#include "support/diagnostic_text.hpp"

namespace notifier {
namespace {

// The icon is identified by the hidden window and this id.
constexpr UINT notification_icon_id = 1;

constexpr UINT icon_flags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO | NIF_SHOWTIP;
static_assert(icon_flags == 0x97, "message, icon, tooltip, balloon, standard tooltip");
constexpr DWORD balloon_flags = NIIF_USER | NIIF_NOSOUND | NIIF_RESPECT_QUIET_TIME;
static_assert(balloon_flags == 0x94, "own picture, no sound, respect quiet time");
static_assert(notification_callback_message == 0x8001, "WM_APP + 1");

template <std::size_t capacity>
constexpr int capacity_of(const WCHAR (&)[capacity]) {
    return static_cast<int>(capacity);
}

// The request of every add, filled once; the icons it names are owned below.
NOTIFYICONDATAW prepared{};
OwnedIcon small_icon;
OwnedIcon balloon_icon;

// A zeroed request that names the icon by its window and id.
NOTIFYICONDATAW icon_request() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = prepared.hWnd;
    data.uID = notification_icon_id;
    return data;
}

bool load_pictures() {
    HICON loaded = nullptr;
    const HRESULT icon_result =
        LoadIconMetric(notifier_state.instance_handle, MAKEINTRESOURCEW(IDI_NOTIFICATIONICON), LIM_SMALL, &loaded);
    small_icon.reset(loaded);
    if (icon_result != S_OK) {
        trace("'LoadIconMetric' fail, return: [" + checker::to_string(static_cast<int32_t>(icon_result)) + "]");
        return false;
    }
    std::string failed_call;
    balloon_icon = load_balloon_picture(notifier_state.balloon_icon_path, failed_call);
    if (!balloon_icon.valid()) {
        trace("'" + failed_call + "' fail, error: [" + system_error_text(GetLastError()) + "]");
        return false;
    }
    return true;
}

bool load_texts(NOTIFYICONDATAW& data) {
    if (LoadStringW(notifier_state.instance_handle, string_tooltip, data.szTip, capacity_of(data.szTip)) == 0) {
        trace("'LoadStringW' for tooltip fail, error: [" + system_error_text(GetLastError()) + "]");
        return false;
    }
    if (LoadStringW(notifier_state.instance_handle, string_balloon_title, data.szInfoTitle,
                    capacity_of(data.szInfoTitle)) == 0) {
        trace("'LoadStringW' for title fail, error: [" + system_error_text(GetLastError()) + "]");
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

}  // namespace

bool prepare_notification(HWND window) {
    trace("is due to add notification");
    prepared.hWnd = window;
    NOTIFYICONDATAW data = icon_request();
    data.uFlags = icon_flags;
    data.uCallbackMessage = notification_callback_message;
    if (!load_pictures() || !load_texts(data)) {
        release_notification();
        return false;
    }
    data.hIcon = small_icon.get();
    data.hBalloonIcon = balloon_icon.get();
    data.dwInfoFlags = balloon_flags;
    prepared = data;
    return true;
}

bool show_notification(IconRequest request, bool with_balloon) {
    NOTIFYICONDATAW data = prepared;
    if (!with_balloon) {
        data.uFlags &= ~static_cast<UINT>(NIF_INFO);
    }
    if (request == IconRequest::add_again) {
        NOTIFYICONDATAW old_icon = icon_request();
        Shell_NotifyIconW(NIM_DELETE, &old_icon);
    }
    const bool landed = request == IconRequest::check_and_add && Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
    if (!landed && !Shell_NotifyIconW(NIM_ADD, &data)) {
        // The caller names this error when it gives up; forming the text must not change it.
        const DWORD error = GetLastError();
        trace("'Shell_NotifyIconW' main fail, error: [" + system_error_text(error) + "]");
        SetLastError(error);
        return false;
    }
    data.uVersion = NOTIFYICON_VERSION_4;
    const bool version_applied = Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
    trace("'Shell_NotifyIconW' version, result: [" + checker::to_string(version_applied) + "]");
    return version_applied;
}

bool delete_notification() {
    trace("is due to delete notification");
    NOTIFYICONDATAW data = icon_request();
    const bool deleted = Shell_NotifyIconW(NIM_DELETE, &data) != FALSE;
    trace("'Shell_NotifyIconW' delete, result: [" + checker::to_string(deleted) + "]");
    return deleted;
}

void release_notification() noexcept {
    prepared.hIcon = nullptr;
    prepared.hBalloonIcon = nullptr;
    small_icon.reset();
    balloon_icon.reset();
}

}  // namespace notifier
