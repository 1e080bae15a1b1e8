// The Win32 desktop's notification-area icon and balloon (Shell_NotifyIconW), and the balloon's own picture.
#include <algorithm>
#include <cstdint>
#include <string>

#include "notifier/desktop_win32.hpp"
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

struct BitmapHandle {
    using Value = HBITMAP;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { DeleteObject(value); }
};
using OwnedBitmap = checker::ScopedResource<BitmapHandle>;

// The balloon's own picture is icon.bmp made into a 128 x 128 icon, as the shell draws only icons there.
constexpr int balloon_picture_size = 128;
// One bit per pixel, rows padded to 16 bits; all zero: every pixel of the colour bitmap is drawn.
const uint8_t opaque_mask[balloon_picture_size * balloon_picture_size / 8] = {};

// Loads the bitmap file and makes an icon of it with an all-opaque mask. On failure the owner is
// empty, failed_call names the call that failed and the last error is its code.
OwnedIcon load_balloon_picture(const std::u16string& bitmap_path, std::string& failed_call) {
    const OwnedBitmap colour(static_cast<HBITMAP>(LoadImageW(nullptr, wide(bitmap_path.c_str()), IMAGE_BITMAP,
                                                              balloon_picture_size, balloon_picture_size,
                                                              LR_LOADFROMFILE)));
    if (!colour.valid()) {
        failed_call = "LoadImageW";
        return OwnedIcon();
    }
    const OwnedBitmap mask(CreateBitmap(balloon_picture_size, balloon_picture_size, 1, 1, opaque_mask));
    if (!mask.valid()) {
        failed_call = "CreateBitmap";
        return OwnedIcon();
    }
    // The icon gets its own copies of both bitmaps; ours are deleted on return.
    ICONINFO parts{};
    parts.fIcon = TRUE;
    parts.hbmMask = mask.get();
    parts.hbmColor = colour.get();
    OwnedIcon icon(CreateIconIndirect(&parts));
    if (!icon.valid()) {
        failed_call = "CreateIconIndirect";
    }
    return icon;
}

}  // namespace

NOTIFYICONDATAW Win32Desktop::icon_request() const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = prepared_.hWnd;
    data.uID = notification_icon_id;
    return data;
}

bool Win32Desktop::load_pictures() {
    HICON loaded = nullptr;
    const HRESULT icon_result =
        LoadIconMetric(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NOTIFICATIONICON), LIM_SMALL, &loaded);
    small_icon_.reset(loaded);
    if (icon_result != S_OK) {
        trace("'LoadIconMetric' fail, return: [" + checker::to_string(static_cast<int32_t>(icon_result)) + "]");
        return false;
    }
    std::string failed_call;
    balloon_icon_ = load_balloon_picture(notifier_state.balloon_icon_path, failed_call);
    if (!balloon_icon_.valid()) {
        trace("'" + failed_call + "' fail, error: [" + checker::system_error_message(GetLastError()) + "]");
        return false;
    }
    return true;
}

bool Win32Desktop::load_texts(NOTIFYICONDATAW& data) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (LoadStringW(instance, string_tooltip, data.szTip, capacity_of(data.szTip)) == 0) {
        trace("'LoadStringW' for tooltip fail, error: [" + checker::system_error_message(GetLastError()) + "]");
        return false;
    }
    if (LoadStringW(instance, string_balloon_title, data.szInfoTitle, capacity_of(data.szInfoTitle)) == 0) {
        trace("'LoadStringW' for title fail, error: [" + checker::system_error_message(GetLastError()) + "]");
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

bool Win32Desktop::prepare_notification(HWND window) {
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
    prepared_ = data;
    return true;
}

// Hands the prepared icon to the shell and asks for version 4 of the interface.
IconOutcome Win32Desktop::show_icon(IconRequest request, bool with_balloon) {
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
        const std::string error = checker::system_error_message(GetLastError());
        trace("'Shell_NotifyIconW' main fail, error: [" + error + "]");
        return IconOutcome{false, error};
    }
    data.uVersion = NOTIFYICON_VERSION_4;
    const bool version_applied = Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
    const std::string error = version_applied ? std::string() : checker::system_error_message(GetLastError());
    trace("'Shell_NotifyIconW' version, result: [" + checker::to_string(version_applied) + "]");
    return IconOutcome{version_applied, error};
}

bool Win32Desktop::delete_notification() {
    trace("is due to delete notification");
    NOTIFYICONDATAW data = icon_request();
    const bool deleted = Shell_NotifyIconW(NIM_DELETE, &data) != FALSE;
    trace("'Shell_NotifyIconW' delete, result: [" + checker::to_string(deleted) + "]");
    return deleted;
}

}  // namespace notifier
