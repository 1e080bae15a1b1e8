// The taskbar notification area: Shell_NotifyIconW keeps the icons it accepts and sends their events;
// the taskbar may come late (NOTIFIER_TASKBAR_DELAY_MS) and be restarted (the taskbar-restart action).
#include <algorithm>
#include <cstdlib>
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
// NOTIFIER_TASKBAR_DELAY_MS=N: no taskbar for the first N ms after the program first asks for it.
struct Taskbar { std::chrono::steady_clock::time_point arrival; bool up = false; };
Taskbar& taskbar() {
    static Taskbar state = [] {
        const char* delay = std::getenv("NOTIFIER_TASKBAR_DELAY_MS");
        const long milliseconds = delay == nullptr ? 0 : std::atol(delay);
        return Taskbar{std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds), milliseconds <= 0};
    }();
    return state;
}
// A new taskbar knows no icons and tells every top-level window so.
void create_taskbar() {
    icons.clear();
    taskbar().up = true;
    standin::report("taskbar created");
    standin::post_to_top_level_windows(RegisterWindowMessageW(u"TaskbarCreated"));
}
// The low four bits of dwInfoFlags choose the balloon's picture (NIIF_ICON_MASK).
constexpr DWORD balloon_picture_mask = 0x0F;
bool terminated(const WCHAR* text, std::size_t capacity) {
    return std::find(text, text + capacity, 0) != text + capacity;
}
std::vector<NotificationIcon>::iterator find_icon(HWND window, UINT id) {
    return std::find_if(icons.begin(), icons.end(),
                        [=](const NotificationIcon& icon) { return icon.window == window && icon.id == id; });
}
BOOL refuse(const std::string& reason, DWORD error = ERROR_INVALID_PARAMETER) {
    standin::report("Shell_NotifyIconW refused: " + reason);
    SetLastError(error);
    return FALSE;
}
// What an add or modify request must hold for the shell to take it. The balloon's own picture
// must be an icon: the shell cannot draw a bitmap there.
std::string request_fault(const NOTIFYICONDATAW& data) {
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
            !standin::is_icon(data.hBalloonIcon)) {
            return "hBalloonIcon is not an icon";
        }
    }
    return std::string();
}
// Takes the request's members into the icon; an empty balloon text shows no balloon.
void apply(NotificationIcon& icon, const NOTIFYICONDATAW& data) {
    icon.flags |= data.uFlags;
    if ((data.uFlags & NIF_MESSAGE) != 0) {
        icon.callback_message = data.uCallbackMessage;
    }
    if ((data.uFlags & NIF_TIP) != 0) {
        icon.tip = data.szTip;
    }
    if ((data.uFlags & NIF_INFO) != 0 && data.szInfo[0] != 0) {
        icon.balloon_visible = true;
        standin::report("balloon shown, title: [" + standin::to_utf8(data.szInfoTitle) + "], text: [" +
                        standin::to_utf8(data.szInfo) + "]");
    }
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
std::optional<std::chrono::steady_clock::time_point> taskbar_arrival() {
    if (taskbar().up) {
        return std::nullopt;
    }
    return taskbar().arrival;
}
void taskbar_arrives_if_due() {
    if (!taskbar().up && std::chrono::steady_clock::now() >= taskbar().arrival) {
        create_taskbar();
    }
}
// Only the version 4 interface, the one the notifier asks for, sends events: the event in the
// low word of lParam, the icon id in the high word.
bool deliver_icon_action(ActionKind kind) {
    if (kind == ActionKind::taskbar_restart && taskbar().up) {
        standin::report("taskbar restarted, icons lost: [" + std::to_string(icons.size()) + "]");
        create_taskbar();
        return true;
    }
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
    // Without a taskbar the request is not answered; the stand-in gives the code of a
    // taskbar that did not answer in time.
    if (!taskbar().up) {
        return refuse("no taskbar yet", ERROR_TIMEOUT);
    }
    const auto icon = find_icon(data->hWnd, data->uID);
    if (message == NIM_ADD || message == NIM_MODIFY) {
        const std::string fault = request_fault(*data);
        if (!fault.empty()) {
            return refuse(fault);
        }
        if ((message == NIM_ADD) != (icon == icons.end())) {
            return refuse(message == NIM_ADD ? "the icon was already added" : "no such icon");
        }
        if (message == NIM_ADD) {
            const std::u16string tip = (data->uFlags & NIF_TIP) != 0 ? data->szTip : u"";
            icons.push_back(NotificationIcon{data->hWnd, data->uID, 0, 0, tip, false, false});
            standin::report("icon added, tooltip: [" + checker::narrow(tip) + "]");
        }
        apply(message == NIM_ADD ? icons.back() : *icon, *data);
        return TRUE;
    }
    if (message != NIM_SETVERSION && message != NIM_DELETE) {
        return refuse("only NIM_ADD, NIM_MODIFY, NIM_SETVERSION and NIM_DELETE are supported");
    }
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
