// Small Win32 program that exercises what the notifier needs from the shell, for the Wine harness.
//
// Modes (first argument):
//   exit N                 return N at once (checks that exit codes pass through Wine)
//   mutex NAME HOLD_MS LOG create the named mutex, log whether it already existed, hold it
//                          HOLD_MS ms; status 0 for the first owner, 3 when it already existed
//   tray LOG URL [LIMIT_MS] notification icon with balloon; selecting it opens a task dialog
//                          whose footer link opens URL; status 0 after the dialog closes,
//                          4 when nothing closed it within LIMIT_MS (default 60000)
// LOG is a Windows path; every line is appended and flushed at once so the harness can wait
// for it while the program runs.
#include "windows_api.hpp"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <type_traits>

namespace {

constexpr UINT tray_callback_message = WM_APP + 1;  // 0x8001
constexpr UINT tray_icon_id = 1;
constexpr UINT_PTR limit_timer_id = 1;

struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(static_cast<HLOCAL>(memory)); }
};
struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct IconDestroyer {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

using ArgvHandle = std::unique_ptr<LPWSTR, LocalFreeDeleter>;
using MutexHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;
using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

std::string narrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                        nullptr, nullptr);
    return text;
}

std::wstring log_path;

// Appends one line and closes the file again, so a killed probe still leaves a complete log.
void log_line(const std::string& line) {
    if (log_path.empty()) return;
    FileHandle file(_wfopen(log_path.c_str(), L"ab"));
    if (!file) return;
    std::fprintf(file.get(), "%s\n", line.c_str());
}

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

const char* tray_event_name(unsigned event) {
    switch (event) {
    case NIN_SELECT: return "NIN_SELECT";
    case NIN_KEYSELECT: return "NIN_KEYSELECT";
    case NIN_BALLOONSHOW: return "NIN_BALLOONSHOW";
    case NIN_BALLOONHIDE: return "NIN_BALLOONHIDE";
    case NIN_BALLOONTIMEOUT: return "NIN_BALLOONTIMEOUT";
    case NIN_BALLOONUSERCLICK: return "NIN_BALLOONUSERCLICK";
    case NIN_POPUPOPEN: return "NIN_POPUPOPEN";
    case NIN_POPUPCLOSE: return "NIN_POPUPCLOSE";
    case WM_CONTEXTMENU: return "WM_CONTEXTMENU";
    case WM_MOUSEMOVE: return "WM_MOUSEMOVE";
    case WM_LBUTTONDOWN: return "WM_LBUTTONDOWN";
    case WM_LBUTTONUP: return "WM_LBUTTONUP";
    case WM_LBUTTONDBLCLK: return "WM_LBUTTONDBLCLK";
    case WM_RBUTTONDOWN: return "WM_RBUTTONDOWN";
    case WM_RBUTTONUP: return "WM_RBUTTONUP";
    default: return "other";
    }
}

// A solid square with a one-pixel white frame, so the icon is easy to tell apart on screen.
IconHandle make_square_icon(int size, COLORREF fill) {
    std::unique_ptr<DWORD[]> pixels(new DWORD[static_cast<size_t>(size) * size]);
    const DWORD fill_bgra = 0xff000000u | (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool edge = x == 0 || y == 0 || x == size - 1 || y == size - 1;
            pixels[static_cast<size_t>(y) * size + x] = edge ? 0xffffffffu : fill_bgra;
        }
    BitmapHandle color(CreateBitmap(size, size, 1, 32, pixels.get()));
    const std::unique_ptr<BYTE[]> mask_bits(new BYTE[static_cast<size_t>(size) * size / 8]());
    BitmapHandle mask(CreateBitmap(size, size, 1, 1, mask_bits.get()));
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = color.get();
    info.hbmMask = mask.get();
    return IconHandle(CreateIconIndirect(&info));  // copies both bitmaps
}

void log_common_controls() {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&init);
    const HMODULE module = GetModuleHandleW(L"comctl32.dll");
    wchar_t path[MAX_PATH] = L"";
    if (module) GetModuleFileNameW(module, path, MAX_PATH);
    log_line("comctl32 path: " + narrow(path));
    using DllGetVersionFunction = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
    const auto get_version = module ? reinterpret_cast<DllGetVersionFunction>(
                                          reinterpret_cast<void*>(GetProcAddress(module, "DllGetVersion")))
                                    : nullptr;
    DLLVERSIONINFO version{};
    version.cbSize = sizeof version;
    if (get_version && get_version(&version) == S_OK)
        log_line("comctl32 version: " + std::to_string(version.dwMajorVersion) + "." +
                 std::to_string(version.dwMinorVersion));
    else
        log_line("comctl32 version: unknown");
}

struct TrayState {
    std::wstring url;
    IconHandle tray_icon;
    IconHandle balloon_icon;
    bool dialog_shown = false;
};
TrayState tray;

bool add_tray_icon(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = tray_icon_id;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO | NIF_SHOWTIP;
    data.uCallbackMessage = tray_callback_message;
    data.hIcon = tray.tray_icon.get();
    wcsncpy(data.szTip, L"Tray probe tip", ARRAYSIZE(data.szTip) - 1);
    wcsncpy(data.szInfo, L"Tray probe balloon text", ARRAYSIZE(data.szInfo) - 1);
    wcsncpy(data.szInfoTitle, L"Tray probe balloon title", ARRAYSIZE(data.szInfoTitle) - 1);
    data.dwInfoFlags = NIIF_USER | NIIF_NOSOUND | NIIF_RESPECT_QUIET_TIME;
    data.hBalloonIcon = tray.balloon_icon.get();
    const bool added = Shell_NotifyIconW(NIM_ADD, &data);
    log_line("icon added: " + std::to_string(added));
    data.uVersion = NOTIFYICON_VERSION_4;
    const bool versioned = Shell_NotifyIconW(NIM_SETVERSION, &data);
    log_line("version 4 accepted: " + std::to_string(versioned));
    return added && versioned;
}

void delete_tray_icon(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = tray_icon_id;
    log_line("icon deleted: " + std::to_string(Shell_NotifyIconW(NIM_DELETE, &data) != FALSE));
}

HRESULT CALLBACK dialog_callback(HWND dialog, UINT code, WPARAM, LPARAM lparam, LONG_PTR) {
    log_line("dialog event: " + std::to_string(code));
    if (code == TDN_HYPERLINK_CLICKED) {
        const auto target = reinterpret_cast<const wchar_t*>(lparam);
        log_line("hyperlink: " + narrow(target));
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, nullptr, target, nullptr, nullptr, SW_SHOW));
        log_line("ShellExecuteW: " + std::to_string(static_cast<long long>(result)));
        DestroyWindow(dialog);
    }
    return S_OK;
}

void show_dialog(HWND owner) {
    if (tray.dialog_shown) {
        log_line("second dialog prevented");
        return;
    }
    tray.dialog_shown = true;
    const std::wstring footer = L"<a href=\"" + tray.url + L"\">" + tray.url + L"</a>";
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_ENABLE_HYPERLINKS | TDF_ALLOW_DIALOG_CANCELLATION | TDF_EXPAND_FOOTER_AREA |
                     TDF_SIZE_TO_CONTENT;
    config.dwCommonButtons = TDCBF_CANCEL_BUTTON;
    config.pszWindowTitle = L"Tray probe dialog";
    config.pszMainIcon = TD_INFORMATION_ICON;
    config.pszMainInstruction = L"Tray probe update header";
    config.pszExpandedInformation = L"Tray probe update text";
    config.pszExpandedControlText = L"Details";
    config.pszFooter = footer.c_str();
    config.pfCallback = dialog_callback;
    log_line("dialog shown");
    const HRESULT result = TaskDialogIndirect(&config, nullptr, nullptr, nullptr);
    log_line("dialog closed: " + std::to_string(static_cast<long>(result)));
    DestroyWindow(owner);
}

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        return add_tray_icon(window) ? 0 : -1;
    case WM_DESTROY:
        delete_tray_icon(window);
        PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        if (wparam == limit_timer_id) {
            log_line("time limit reached");
            ExitProcess(4);
        }
        return 0;
    case tray_callback_message: {
        const unsigned event = LOWORD(lparam);
        log_line("tray event: " + hex(event) + " " + tray_event_name(event));
        if (event == NIN_SELECT || event == NIN_BALLOONUSERCLICK || event == WM_CONTEXTMENU)
            show_dialog(window);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

int run_tray(HINSTANCE instance, const std::wstring& url, UINT limit_millis) {
    log_common_controls();
    tray.url = url;
    tray.tray_icon = make_square_icon(GetSystemMetrics(SM_CXSMICON), RGB(255, 0, 255));
    tray.balloon_icon = make_square_icon(32, RGB(0, 160, 255));
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = L"QuorvaneTrayProbe";
    if (!RegisterClassExW(&window_class)) return 1;
    const HWND window = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, instance, nullptr);
    if (!window) {
        log_line("window creation failed: " + std::to_string(GetLastError()));
        return 1;
    }
    SetTimer(window, limit_timer_id, limit_millis, nullptr);
    log_line("message loop");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    log_line("exit " + std::to_string(static_cast<int>(message.wParam)));
    return static_cast<int>(message.wParam);
}

int run_mutex(const std::wstring& name, UINT hold_millis) {
    const MutexHandle mutex(CreateMutexW(nullptr, TRUE, name.c_str()));
    const DWORD error = GetLastError();
    if (!mutex) {
        log_line("mutex failed: " + std::to_string(error));
        return 1;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        log_line("mutex already exists");
        return 3;
    }
    log_line("mutex created");
    Sleep(hold_millis);
    log_line("mutex released");
    return 0;
}

UINT to_uint(const wchar_t* text) { return static_cast<UINT>(std::wcstoul(text, nullptr, 10)); }

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int argc = 0;
    const ArgvHandle argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!argv || argc < 3) return 2;
    const std::wstring mode = argv.get()[1];
    if (mode == L"exit") return static_cast<int>(to_uint(argv.get()[2]));
    if (mode == L"mutex" && argc >= 5) {
        log_path = argv.get()[4];
        return run_mutex(argv.get()[2], to_uint(argv.get()[3]));
    }
    if (mode == L"tray" && argc >= 4) {
        log_path = argv.get()[2];
        return run_tray(instance, argv.get()[3], argc >= 5 ? to_uint(argv.get()[4]) : 60000);
    }
    return 2;
}
