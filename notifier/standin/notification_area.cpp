// The taskbar notification area: Shell_NotifyIconW keeps the icons it accepts and sends their events.
#include <algorithm>
#include <string>
#include <vector>

#include "notifier/standin/internal.hpp"

namespace {

struct NotificationIcon {
    HWND window;
    UINT id;
    UINT flags;
    UINT callback_message;
    std::u16string tip;
    bool version_4;
    bool balloon_visible;
};

// Icons in the order added.
std::vector<NotificationIcon> icons;

// The low four bits of dwInfoFlags choose the balloon's picture (NIIF_ICON_MASK).
constexpr DWORD balloon_picture_mask = 0x0F;

bool terminated(const WCHAR* text, std::size_t capacity) {
    return std::find(text, text + capacity, 0) != text + capacity;
}

std::vector<NotificationIcon>::iterator find_icon(HWND window, UINT id) {
    return std::find_if(icons.begin(), icons.end(),
                        [=](const NotificationIcon& icon) { return icon.window == window && icon.id == id; });
}

BOOL refuse(const std::string& reason) {
    standin::report("Shell_NotifyIconW refused: " + reason);
    return FALSE;
}

// What an add request must hold for the shell to take it.
std::string add_request_fault(const NOTIFYICONDATAW& data) {
    if (!IsWindow(data.hWnd)) {
        return "hWnd is not a window";
    }
    if ((data.uFlags & NIF_ICON) != 0 && !standin::is_icon(data.hIcon)) {
        return "hIcon is not an icon";
    }
    if ((data.uFlags & NIF_TIP) != 0 && !terminated(data.szTip, 128)) {
        return "szTip is not terminated";
    }
    if ((data.uFlags & NIF_INFO) != 0) {
        if (!terminated(data.szInfo, 256) || !terminated(data.szInfoTitle, 64)) {
            return "szInfo or szInfoTitle is not terminated";
        }
        if ((data.dwInfoFlags & balloon_picture_mask) == NIIF_USER && data.hBalloonIcon != nullptr &&
            !standin::is_icon(data.hBalloonIcon) && !standin::is_bitmap(data.hBalloonIcon)) {
            return "hBalloonIcon is neither an icon nor a bitmap";
        }
    }
    return std::string();
}

BOOL add_icon(const NOTIFYICONDATAW& data) {
    if (find_icon(data.hWnd, data.uID) != icons.end()) {
        return refuse("the icon was already added");
    }
    const std::string fault = add_request_fault(data);
    if (!fault.empty()) {
        return refuse(fault);
    }
    NotificationIcon icon{data.hWnd, data.uID, data.uFlags, data.uCallbackMessage, std::u16string(), false, false};
    if ((data.uFlags & NIF_TIP) != 0) {
        icon.tip = data.szTip;
    }
    standin::report("icon added, tooltip: [" + checker::narrow(icon.tip) + "]");
    // An empty text shows no balloon.
    if ((data.uFlags & NIF_INFO) != 0 && data.szInfo[0] != 0) {
        icon.balloon_visible = true;
        standin::report("balloon shown, title: [" + standin::to_utf8(data.szInfoTitle) + "], text: [" +
                        standin::to_utf8(data.szInfo) + "]");
    }
    icons.push_back(icon);
    return TRUE;
}

const char* event_name(UINT event) {
    switch (event) {
    case NIN_SELECT: return "NIN_SELECT";
    case NIN_KEYSELECT: return "NIN_KEYSELECT";
    case NIN_BALLOONTIMEOUT: return "NIN_BALLOONTIMEOUT";
    case NIN_BALLOONUSERCLICK: return "NIN_BALLOONUSERCLICK";
    default: return "WM_CONTEXTMENU";
    }
}

}  // namespace

namespace standin {

// Only the version 4 interface, the one the notifier asks for, sends events: the event in the
// low word of lParam, the icon id in the high word.
bool deliver_icon_action(ActionKind kind) {
    if (icons.empty()) {
        return false;
    }
    NotificationIcon& icon = icons.back();
    UINT event = 0;
    switch (kind) {
    case ActionKind::select: event = NIN_SELECT; break;
    case ActionKind::key: event = NIN_KEYSELECT; break;
    case ActionKind::context: event = WM_CONTEXTMENU; break;
    case ActionKind::balloon:
    case ActionKind::timeout:
        if (!icon.balloon_visible) {
            return false;
        }
        icon.balloon_visible = false;
        event = kind == ActionKind::balloon ? NIN_BALLOONUSERCLICK : NIN_BALLOONTIMEOUT;
        break;
    default:
        return false;
    }
    if ((icon.flags & NIF_MESSAGE) == 0 || !icon.version_4) {
        return false;
    }
    report(std::string("icon event: [") + event_name(event) + "]");
    const auto lparam = static_cast<LPARAM>(event | icon.id << 16);
    return PostMessageW(icon.window, icon.callback_message, 0, lparam) != FALSE;
}

}  // namespace standin

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data) {
    if (data == nullptr || data->cbSize != sizeof(NOTIFYICONDATAW)) {
        return refuse("cbSize is not the size of the full structure");
    }
    if (message == NIM_ADD) {
        return add_icon(*data);
    }
    if (message != NIM_SETVERSION && message != NIM_DELETE) {
        return refuse("only NIM_ADD, NIM_SETVERSION and NIM_DELETE are supported");
    }
    const auto icon = find_icon(data->hWnd, data->uID);
    if (icon == icons.end()) {
        return refuse("no such icon");
    }
    if (message == NIM_SETVERSION) {
        if (data->uVersion != NOTIFYICON_VERSION_4) {
            return refuse("only version 4 is supported");
        }
        icon->version_4 = true;
        return TRUE;
    }
    standin::report("icon removed, tooltip: [" + checker::narrow(icon->tip) + "]");
    icons.erase(icon);
    return TRUE;
}
