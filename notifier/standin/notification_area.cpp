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
    std::u16string info_title;
    std::u16string info;
    UINT version;
    bool balloon_visible;
};

// Icons in the order added; a program that ends without deleting its icon leaves it behind.
struct NotificationArea {
    std::vector<NotificationIcon> icons;
    ~NotificationArea() {
        for (const auto& icon : icons) {
            standin::report("icon still in the notification area at exit, tooltip: [" + standin::to_utf8(icon.tip.c_str()) + "]");
        }
    }
};

NotificationArea area;

constexpr UINT known_flags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_STATE | NIF_INFO | NIF_GUID | NIF_REALTIME | NIF_SHOWTIP;
constexpr DWORD known_info_flags = 0x0F | NIIF_NOSOUND | NIIF_LARGE_ICON | NIIF_RESPECT_QUIET_TIME;

bool terminated(const WCHAR* text, std::size_t capacity) {
    return std::find(text, text + capacity, 0) != text + capacity;
}

std::vector<NotificationIcon>::iterator find_icon(HWND window, UINT id) {
    return std::find_if(area.icons.begin(), area.icons.end(),
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
    if ((data.uFlags & ~known_flags) != 0) {
        return "unknown uFlags";
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
        if ((data.dwInfoFlags & ~known_info_flags) != 0 || (data.dwInfoFlags & 0x0F) > NIIF_USER) {
            return "unknown dwInfoFlags";
        }
        if ((data.dwInfoFlags & 0x0F) == NIIF_USER && data.hBalloonIcon != nullptr &&
            !standin::is_icon(data.hBalloonIcon) && !standin::is_bitmap(data.hBalloonIcon)) {
            return "hBalloonIcon is neither an icon nor a bitmap";
        }
    }
    return std::string();
}

BOOL add_icon(const NOTIFYICONDATAW& data) {
    if (find_icon(data.hWnd, data.uID) != area.icons.end()) {
        return refuse("the icon was already added");
    }
    const std::string fault = add_request_fault(data);
    if (!fault.empty()) {
        return refuse(fault);
    }
    NotificationIcon icon{data.hWnd, data.uID, data.uFlags, data.uCallbackMessage, std::u16string(), std::u16string(),
                          std::u16string(), 0, false};
    if ((data.uFlags & NIF_TIP) != 0) {
        icon.tip = data.szTip;
    }
    if ((data.uFlags & NIF_INFO) != 0) {
        icon.info_title = data.szInfoTitle;
        icon.info = data.szInfo;
        // An empty text shows no balloon.
        icon.balloon_visible = !icon.info.empty();
    }
    area.icons.push_back(icon);
    standin::report("icon added, tooltip: [" + standin::to_utf8(icon.tip.c_str()) + "]");
    if (icon.balloon_visible) {
        standin::report("balloon shown, title: [" + standin::to_utf8(icon.info_title.c_str()) + "], text: [" +
                        standin::to_utf8(icon.info.c_str()) + "]");
    }
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

bool deliver_icon_action(ActionKind kind) {
    if (area.icons.empty()) {
        return false;
    }
    NotificationIcon& icon = area.icons.back();
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
    if ((icon.flags & NIF_MESSAGE) == 0) {
        return false;
    }
    report(std::string("icon event: [") + event_name(event) + "]");
    // Version 4 puts the event in the low word of lParam and the icon id in the high word;
    // earlier versions pass the id in wParam and the event in lParam.
    if (icon.version == NOTIFYICON_VERSION_4) {
        return PostMessageW(icon.window, icon.callback_message, 0, MAKELPARAM(event, icon.id)) != FALSE;
    }
    return PostMessageW(icon.window, icon.callback_message, icon.id, static_cast<LPARAM>(event)) != FALSE;
}

}  // namespace standin

BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data) {
    if (data == nullptr || data->cbSize != sizeof(NOTIFYICONDATAW)) {
        return refuse("cbSize is not the size of the full structure");
    }
    if ((data->uFlags & NIF_GUID) != 0) {
        return refuse("icons identified by GUID are not supported");
    }
    switch (message) {
    case NIM_ADD:
        return add_icon(*data);
    case NIM_SETVERSION: {
        const auto icon = find_icon(data->hWnd, data->uID);
        if (icon == area.icons.end()) {
            return refuse("no such icon");
        }
        if (data->uVersion != 0 && data->uVersion != NOTIFYICON_VERSION && data->uVersion != NOTIFYICON_VERSION_4) {
            return refuse("unknown uVersion");
        }
        icon->version = data->uVersion;
        return TRUE;
    }
    case NIM_DELETE: {
        const auto icon = find_icon(data->hWnd, data->uID);
        if (icon == area.icons.end()) {
            return refuse("no such icon");
        }
        standin::report("icon removed, tooltip: [" + standin::to_utf8(icon->tip.c_str()) + "]");
        area.icons.erase(icon);
        return TRUE;
    }
    default:
        return refuse("only NIM_ADD, NIM_SETVERSION and NIM_DELETE are supported");
    }
}
