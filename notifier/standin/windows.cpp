// Window classes and windows: registration, creation with WM_CREATE, destruction with WM_DESTROY.
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
// Live windows in creation order; a destroyed window is removed at once.
std::vector<std::unique_ptr<HWND__>> windows;

// Classes are told apart by name only: the program has one module.
const WindowClass* find_class(const std::u16string& name) {
    const auto found = std::find_if(window_classes.begin(), window_classes.end(),
                                    [&name](const WindowClass& window_class) { return window_class.name == name; });
    return found == window_classes.end() ? nullptr : &*found;
}

HWND add_window(WNDPROC procedure) {
    windows.push_back(std::make_unique<HWND__>(HWND__{procedure, false}));
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

HWND create_internal_window(WNDPROC procedure) {
    return add_window(procedure);
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
HWND CreateWindowExW(DWORD, LPCWSTR class_name, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) {
    const WindowClass* window_class = class_name == nullptr ? nullptr : find_class(class_name);
    if (window_class == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    HWND window = add_window(window_class->procedure);
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
