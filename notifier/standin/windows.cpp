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
    HINSTANCE instance;
};

std::vector<WindowClass> window_classes;
// Live windows in creation order; a destroyed window is removed at once.
std::vector<std::unique_ptr<HWND__>> windows;

const WindowClass* find_class(const std::u16string& name, HINSTANCE instance) {
    for (const auto& window_class : window_classes) {
        if (window_class.name == name && (instance == nullptr || window_class.instance == instance)) {
            return &window_class;
        }
    }
    return nullptr;
}

HWND add_window(WNDPROC procedure, HWND owner) {
    windows.push_back(std::make_unique<HWND__>(HWND__{procedure, owner}));
    return windows.back().get();
}

void remove_window(HWND window) {
    windows.erase(std::remove_if(windows.begin(), windows.end(),
                                 [window](const std::unique_ptr<HWND__>& live) { return live.get() == window; }),
                  windows.end());
}

// Sends WM_DESTROY and WM_NCDESTROY and forgets the window; windows it owns go first.
void destroy_window(HWND window) {
    window->destroying = true;
    for (;;) {
        auto owned = std::find_if(windows.begin(), windows.end(), [window](const std::unique_ptr<HWND__>& live) {
            return live->owner == window && !live->destroying;
        });
        if (owned == windows.end()) {
            break;
        }
        destroy_window(owned->get());
    }
    window->procedure(window, WM_DESTROY, 0, 0);
    window->procedure(window, WM_NCDESTROY, 0, 0);
    remove_window(window);
}

}  // namespace

namespace standin {

HWND create_internal_window(WNDPROC procedure, HWND owner) {
    return add_window(procedure, owner);
}

}  // namespace standin

ATOM RegisterClassExW(const WNDCLASSEXW* window_class) {
    if (window_class == nullptr || window_class->cbSize != sizeof(WNDCLASSEXW) || window_class->lpfnWndProc == nullptr ||
        window_class->lpszClassName == nullptr || IS_INTRESOURCE(window_class->lpszClassName) ||
        window_class->cbClsExtra < 0 || window_class->cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::u16string name(window_class->lpszClassName);
    if (find_class(name, window_class->hInstance) != nullptr) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    window_classes.push_back(WindowClass{name, window_class->lpfnWndProc, window_class->hInstance});
    return static_cast<ATOM>(0xC000 + window_classes.size());
}

BOOL IsWindow(HWND window) {
    return window != nullptr && std::any_of(windows.begin(), windows.end(), [window](const std::unique_ptr<HWND__>& live) {
               return live.get() == window;
           });
}

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    if (class_name == nullptr || IS_INTRESOURCE(class_name)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    const WindowClass* window_class = find_class(class_name, instance);
    if (window_class == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (parent != nullptr && parent != HWND_MESSAGE && !IsWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND window = add_window(window_class->procedure, parent == HWND_MESSAGE ? nullptr : parent);
    CREATESTRUCTW creation{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                           window_name, class_name, ex_style};
    const auto creation_address = reinterpret_cast<LPARAM>(&creation);
    if (!window->procedure(window, WM_NCCREATE, 0, creation_address)) {
        window->procedure(window, WM_NCDESTROY, 0, 0);
        remove_window(window);
        return nullptr;
    }
    // -1 from WM_CREATE refuses the creation; the half-made window is destroyed as usual.
    if (window->procedure(window, WM_CREATE, 0, creation_address) == -1) {
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

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    default:
        return 0;
    }
}
