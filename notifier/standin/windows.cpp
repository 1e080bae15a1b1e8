// Window classes and windows: registration, creation with WM_CREATE, destruction with WM_DESTROY; registered messages.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "notifier/standin/internal.hpp"

namespace {
struct WindowClass {
    std::u16string name;
    WNDPROC procedure;
};
std::vector<WindowClass> window_classes;
// Registered message names; the message of the n-th is 0xC000 + n.
std::vector<std::u16string> message_names;
// Live windows in creation order; a destroyed window is removed at once.
std::vector<std::unique_ptr<HWND__>> windows;
// Classes are told apart by name only: the program has one module.
const WindowClass* find_class(const std::u16string& name) {
    const auto found = std::find_if(window_classes.begin(), window_classes.end(),
                                    [&name](const WindowClass& window_class) { return window_class.name == name; });
    return found == window_classes.end() ? nullptr : &*found;
}
HWND add_window(WNDPROC procedure, bool top_level, const std::string& title) {
    windows.push_back(std::make_unique<HWND__>(HWND__{procedure, top_level, title, false}));
    return windows.back().get();
}
void remove_window(HWND window) {
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                                 [window](const std::unique_ptr<HWND__>& live) { return live.get() == window; }),
                  windows.end());
}
// Sends WM_DESTROY and WM_NCDESTROY and forgets the window.
void destroy_window(HWND window) {
    window->destroying = true;
    window->procedure(window, WM_DESTROY, 0, 0);
    window->procedure(window, WM_NCDESTROY, 0, 0);
    remove_window(window);
}
}  // namespace

namespace standin {
HWND create_internal_window(WNDPROC procedure, const std::string& title) {
    return add_window(procedure, true, title);
}
// A message-only window (parent HWND_MESSAGE) hears no broadcast, as on Windows.
void post_to_top_level_windows(UINT message) {
    for (const auto& window : windows) {
        if (window->top_level) {
            PostMessageW(window.get(), message, 0, 0);
        }
    }
}
}  // namespace standin

ATOM RegisterClassExW(const WNDCLASSEXW* window_class) {
    if (window_class == nullptr || window_class->cbSize != sizeof(WNDCLASSEXW) || window_class->lpfnWndProc == nullptr ||
        window_class->lpszClassName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::u16string name(window_class->lpszClassName);
    if (find_class(name) != nullptr) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    window_classes.push_back(WindowClass{name, window_class->lpfnWndProc});
    return static_cast<ATOM>(0xC000 + window_classes.size());
}
BOOL IsWindow(HWND window) {
    return window != nullptr && std::any_of(windows.begin(), windows.end(), [window](const std::unique_ptr<HWND__>& live) {
               return live.get() == window;
           });
}
// The notifier's window procedure reads no creation data, so WM_NCCREATE and WM_CREATE carry none.
// Only top-level windows and message-only ones (parent HWND_MESSAGE) are made.
HWND CreateWindowExW(DWORD, LPCWSTR class_name, LPCWSTR window_name, DWORD, int, int, int, int, HWND parent, HMENU,
                     HINSTANCE, LPVOID) {
    const WindowClass* window_class = class_name == nullptr ? nullptr : find_class(class_name);
    if (window_class == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (parent != nullptr && parent != HWND_MESSAGE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HWND window = add_window(window_class->procedure, parent == nullptr, standin::to_utf8(window_name));
    if (!window->procedure(window, WM_NCCREATE, 0, 0)) {
        window->procedure(window, WM_NCDESTROY, 0, 0);
        remove_window(window);
        return nullptr;
    }
    // -1 from WM_CREATE refuses the creation; the half-made window is destroyed as usual.
    if (window->procedure(window, WM_CREATE, 0, 0) == -1) {
        destroy_window(window);
        return nullptr;
    }
    return window;
}
BOOL DestroyWindow(HWND window) {
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!window->destroying) {
        destroy_window(window);
    }
    return TRUE;
}
LRESULT DefWindowProcW(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_NCCREATE ? TRUE : 0;
}
UINT RegisterWindowMessageW(LPCWSTR name) {
    if (name == nullptr || *name == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto found = std::find(message_names.begin(), message_names.end(), std::u16string(name));
    if (found == message_names.end()) {
        message_names.emplace_back(name);
        return static_cast<UINT>(0xC000 + message_names.size() - 1);
    }
    return static_cast<UINT>(0xC000 + (found - message_names.begin()));
}
// The stand-in has no privilege levels between processes: every message already gets through.
BOOL ChangeWindowMessageFilterEx(HWND window, UINT, DWORD, CHANGEFILTERSTRUCT*) {
    return IsWindow(window);
}
BOOL SetForegroundWindow(HWND window) {
    if (!IsWindow(window)) {
        return FALSE;
    }
    standin::report("window brought to the front, title: [" + window->title + "]");
    return TRUE;
}
