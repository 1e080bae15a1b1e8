// Test helper for the Wine tests: looks at notifier.exe from outside, or runs its balloon-picture loader.
//
// Usage: notifier_probe.exe window            the notifier's hidden window: top-level and not visible?
//        notifier_probe.exe restart           removes its icon and broadcasts "TaskbarCreated", as a
//                                             restarted Explorer does
//        notifier_probe.exe timeout           tells the notifier its balloon timed out, as the shell does
//        notifier_probe.exe end-session       ends the user's session for the notifier's window, as log-off does
//        notifier_probe.exe icon              the notifier's icon is in the notification area
//        notifier_probe.exe dialog TITLE      the window TITLE is visible, owned by no window and not a tool
//                                             window, so it has its own taskbar button
//        notifier_probe.exe buttons TITLE     prints the texts of the buttons of the window TITLE, one a line
//        notifier_probe.exe press TITLE TEXT  clicks the button TEXT of the window TITLE
//        notifier_probe.exe picture FILE      the loader's icon made from the bitmap FILE is 128 x 128,
//                                             32 bits, transparent in the corner and opaque in the middle
//        notifier_probe.exe manifest EXE      prints the DPI awareness and the execution level that
//                                             EXE's manifest declares (empty where it has none)
// Prints what it found; status 0 when the check holds, 1 otherwise. Built by the Wine tests with the
// mingw-w64 cross compiler together with the notifier's loader; never run on the host.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "notifier/balloon_picture.hpp"

#include <shellapi.h>

namespace {

const wchar_t* const window_class = L"e48e2be7-451e-48e5-8889-8c97c1485340";

// Wine's FindWindowW also finds message-only windows, so the parent tells them apart.
int check_window() {
    const HWND window = FindWindowW(window_class, nullptr);
    if (window == nullptr) {
        std::printf("no window of the notifier's class\n");
        return 1;
    }
    const bool top_level = GetAncestor(window, GA_PARENT) == GetDesktopWindow();
    const bool visible = IsWindowVisible(window) != FALSE;
    std::printf("top-level: %d, visible: %d\n", top_level, visible);
    return top_level && !visible ? 0 : 1;
}

int restart_taskbar() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = FindWindowW(window_class, nullptr);
    data.uID = 1;
    const BOOL deleted = Shell_NotifyIconW(NIM_DELETE, &data);
    const BOOL posted = PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    std::printf("icon deleted: %d, broadcast posted: %d\n", deleted, posted);
    return deleted && posted ? 0 : 1;
}

// As the shell does when a balloon times out: the balloon goes (a balloon request with an empty
// text), then the icon's window hears NIN_BALLOONTIMEOUT. Version 4 of the icon interface: the
// event in the low word, the icon's id in the high word.
int post_balloon_timeout() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = FindWindowW(window_class, nullptr);
    data.uID = 1;
    data.uFlags = NIF_INFO;
    const BOOL hidden = data.hWnd != nullptr && Shell_NotifyIconW(NIM_MODIFY, &data);
    const BOOL posted =
        data.hWnd != nullptr && PostMessageW(data.hWnd, WM_APP + 1, 0, MAKELPARAM(NIN_BALLOONTIMEOUT, 1));
    std::printf("balloon taken away: %d, NIN_BALLOONTIMEOUT posted: %d\n", hidden, posted);
    return hidden && posted ? 0 : 1;
}

int end_session() {
    const HWND window = FindWindowW(window_class, nullptr);
    if (window == nullptr) {
        std::printf("no window of the notifier's class\n");
        return 1;
    }
    const LRESULT may_end = SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    std::printf("WM_QUERYENDSESSION answered: %ld, WM_ENDSESSION sent\n", static_cast<long>(may_end));
    return may_end == TRUE ? 0 : 1;
}

// A modification that changes nothing succeeds only for an icon that is there.
int check_icon() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = FindWindowW(window_class, nullptr);
    data.uID = 1;
    const BOOL there = data.hWnd != nullptr && Shell_NotifyIconW(NIM_MODIFY, &data);
    std::printf("icon there: %d\n", there);
    return there ? 0 : 1;
}

int check_dialog(const wchar_t* title) {
    const HWND dialog = FindWindowW(nullptr, title);
    if (dialog == nullptr) {
        std::printf("no window with that title\n");
        return 1;
    }
    const bool owned = GetWindow(dialog, GW_OWNER) != nullptr;
    const bool tool = (GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
    const bool visible = IsWindowVisible(dialog) != FALSE;
    std::printf("owned: %d, tool window: %d, visible: %d\n", owned, tool, visible);
    return !owned && !tool && visible ? 0 : 1;
}

// The dialog's button windows and their texts.
std::vector<std::pair<HWND, std::wstring>> dialog_buttons(const wchar_t* title) {
    std::vector<std::pair<HWND, std::wstring>> buttons;
    const HWND dialog = FindWindowW(nullptr, title);
    if (dialog == nullptr) {
        return buttons;
    }
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM found) -> BOOL {
            wchar_t kind[32] = {};
            wchar_t text[256] = {};
            GetClassNameW(child, kind, 32);
            GetWindowTextW(child, text, 256);
            if (lstrcmpiW(kind, L"Button") == 0) {
                reinterpret_cast<std::vector<std::pair<HWND, std::wstring>>*>(found)->emplace_back(child, text);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&buttons));
    return buttons;
}

int print_buttons(const wchar_t* title) {
    const auto buttons = dialog_buttons(title);
    for (const auto& button : buttons) {
        std::printf("%ls\n", button.second.c_str());
    }
    return buttons.empty() ? 1 : 0;
}

int press_button(const wchar_t* title, const wchar_t* text) {
    for (const auto& button : dialog_buttons(title)) {
        if (button.second == text) {
            return PostMessageW(button.first, BM_CLICK, 0, 0) ? 0 : 1;
        }
    }
    std::printf("no such button\n");
    return 1;
}

// The alpha of the colour bitmap's pixel (x, y), counted from the top left, or -1.
int alpha_at(HBITMAP colour, int x, int y) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 128;
    format.bmiHeader.biHeight = -128;  // top-down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    static DWORD pixels[128 * 128];
    const HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, colour, 0, 128, pixels, &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return rows == 128 ? static_cast<int>(pixels[y * 128 + x] >> 24) : -1;
}

int check_picture(const wchar_t* path) {
    std::string failed_call;
    const notifier::OwnedIcon icon = notifier::load_balloon_picture(reinterpret_cast<const char16_t*>(path), failed_call);
    ICONINFO parts{};
    if (!icon.valid() || !GetIconInfo(icon.get(), &parts)) {
        std::printf("no icon, failed call: %s, error: %lu\n", failed_call.c_str(), GetLastError());
        return 1;
    }
    BITMAP colour{};
    const int read = GetObjectW(parts.hbmColor, sizeof(colour), &colour);
    const int corner = alpha_at(parts.hbmColor, 0, 0);
    const int middle = alpha_at(parts.hbmColor, 64, 64);
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    std::printf("icon: %d, size: %ldx%ld, bits: %d, alpha in the corner: %d, in the middle: %d\n", parts.fIcon,
                colour.bmWidth, colour.bmHeight, colour.bmBitsPixel, corner, middle);
    return read != 0 && parts.fIcon && colour.bmWidth == 128 && colour.bmHeight == 128 && colour.bmBitsPixel == 32 &&
                   corner == 0 && middle == 255
               ? 0
               : 1;
}

// What stands between opening and closing in text (the first such part), or "" when nothing does.
std::string between(const std::string& text, const std::string& opening, const std::string& closing) {
    const std::size_t start = text.find(opening);
    const std::size_t end = start == std::string::npos ? start : text.find(closing, start + opening.size());
    return end == std::string::npos ? "" : text.substr(start + opening.size(), end - start - opening.size());
}

int check_manifest(const wchar_t* program) {
    const HMODULE module = LoadLibraryExW(program, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const HRSRC resource = module == nullptr ? nullptr : FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    const HGLOBAL loaded = resource == nullptr ? nullptr : LoadResource(module, resource);
    if (loaded == nullptr) {
        std::printf("no manifest resource, error: %lu\n", GetLastError());
        return 1;
    }
    const std::string text(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, resource));
    FreeLibrary(module);
    const std::string aware =
        between(text, "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">", "</dpiAware>");
    const std::string awareness = between(
        text, "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">", "</dpiAwareness>");
    const std::string trust = between(text, "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">", "</trustInfo>");
    const std::string level = between(trust, "<requestedExecutionLevel ", "/>");
    std::printf("dpiAware: [%s], dpiAwareness: [%s], requestedExecutionLevel: [%s]\n", aware.c_str(),
                awareness.c_str(), level.c_str());
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"window" && argc == 2) {
        return check_window();
    }
    if (command == L"restart" && argc == 2) {
        return restart_taskbar();
    }
    if (command == L"timeout" && argc == 2) {
        return post_balloon_timeout();
    }
    if (command == L"end-session" && argc == 2) {
        return end_session();
    }
    if (command == L"icon" && argc == 2) {
        return check_icon();
    }
    if (command == L"dialog" && argc == 3) {
        return check_dialog(argv[2]);
    }
    if (command == L"buttons" && argc == 3) {
        return print_buttons(argv[2]);
    }
    if (command == L"press" && argc == 4) {
        return press_button(argv[2], argv[3]);
    }
    if (command == L"picture" && argc == 3) {
        return check_picture(argv[2]);
    }
    if (command == L"manifest" && argc == 3) {
        return check_manifest(argv[2]);
    }
    std::fprintf(stderr, "usage: notifier_probe.exe window | restart | timeout | end-session | icon | dialog TITLE |"
                         " buttons TITLE | press TITLE TEXT |"
                         " picture FILE | manifest EXE\n");
    return 2;
}
