// The Win32 types, constants and functions that the notifier uses, as the POSIX stand-in provides them.
// Names and values follow the Windows SDK (64-bit), with WCHAR as char16_t. Structures keep the SDK's
// field order but only the fields the notifier uses, except NOTIFYICONDATAW (full layout: the shell
// tells its versions apart by cbSize). Each call is implemented for real, on one thread.
#pragma once

#include <cstdint>

#define CALLBACK
typedef int BOOL;
#define TRUE 1
#define FALSE 0
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int32_t HRESULT;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef WORD ATOM;
typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef const WCHAR* PCWSTR;
typedef void* HANDLE;
typedef void* LPVOID;

// Window-manager handles are distinct pointer types, as with STRICT on Windows.
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HICON__* HICON;
typedef struct HBITMAP__* HBITMAP;
typedef void* HGDIOBJ;
typedef struct HMENU__* HMENU;
struct SECURITY_ATTRIBUTES;
struct CHANGEFILTERSTRUCT;
struct GUID { uint32_t Data1; uint16_t Data2; uint16_t Data3; uint8_t Data4[8]; };
#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xffff))
#define MAKEINTRESOURCEW(i) ((LPWSTR)((uintptr_t)((WORD)(i))))

// Error codes (GetLastError) and HRESULTs.
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INVALID_DATA 13L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INVALID_NAME 123L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_TIMEOUT 1460L
#define S_OK ((HRESULT)0L)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define HRESULT_FROM_WIN32(x) ((HRESULT)(x) <= 0 ? ((HRESULT)(x)) : ((HRESULT)(((x) & 0x0000FFFF) | (7 << 16) | 0x80000000)))

// Window messages.
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_QUIT 0x0012
#define WM_CONTEXTMENU 0x007B
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_TIMER 0x0113
#define WM_USER 0x0400
#define WM_APP 0x8000
#define HWND_MESSAGE ((HWND)-3)
#define WS_POPUP 0x80000000L
#define WS_EX_TOOLWINDOW 0x00000080L
#define MSGFLT_ALLOW 1
typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
struct MSG { HWND hwnd; UINT message; WPARAM wParam; LPARAM lParam; };
struct WNDCLASSEXW {
    UINT cbSize; UINT style; WNDPROC lpfnWndProc; HINSTANCE hInstance; HICON hIcon; LPCWSTR lpszClassName;
};

// Notification area (shellapi.h).
#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002
#define NIM_SETVERSION 0x00000004
#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004
#define NIF_INFO 0x00000010
#define NIF_SHOWTIP 0x00000080
#define NIIF_USER 0x00000004
#define NIIF_NOSOUND 0x00000010
#define NIIF_RESPECT_QUIET_TIME 0x00000080
#define NOTIFYICON_VERSION_4 4
#define NIN_SELECT (WM_USER + 0)
#define NIN_KEYSELECT (WM_USER + 1)
#define NIN_BALLOONTIMEOUT (WM_USER + 4)
#define NIN_BALLOONUSERCLICK (WM_USER + 5)

// The full (Vista and later) layout: 976 bytes on 64-bit. uVersion shares its place with uTimeout.
struct NOTIFYICONDATAW {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    WCHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    WCHAR szInfo[256];
    UINT uVersion;
    WCHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    GUID guidItem;
    HICON hBalloonIcon;
};

// Images and icons.
struct ICONINFO { BOOL fIcon; DWORD xHotspot; DWORD yHotspot; HBITMAP hbmMask; HBITMAP hbmColor; };
#define IMAGE_BITMAP 0
#define LR_LOADFROMFILE 0x00000010
enum { LIM_SMALL };

// Shell execution.
#define SW_SHOW 5
#define SE_ERR_FNF 2
#define SE_ERR_NOASSOC 31

// COM (objbase.h).
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_DISABLE_OLE1DDE 0x4

// Task dialogs (commctrl.h, common controls 6).
#define IDCANCEL 2
#define IDCLOSE 8
typedef int TASKDIALOG_FLAGS;
typedef int TASKDIALOG_COMMON_BUTTON_FLAGS;
#define TDF_ENABLE_HYPERLINKS 0x0001
#define TDF_ALLOW_DIALOG_CANCELLATION 0x0008
#define TDF_EXPAND_FOOTER_AREA 0x0040
#define TDF_SIZE_TO_CONTENT 0x01000000
#define TDCBF_CANCEL_BUTTON 0x0008
#define TDCBF_CLOSE_BUTTON 0x0020
#define TDN_CREATED 0
#define TDN_BUTTON_CLICKED 2
#define TDN_HYPERLINK_CLICKED 3
#define TDN_DESTROYED 5
#define TDN_DIALOG_CONSTRUCTED 7
#define TDN_EXPANDO_BUTTON_CLICKED 10
#define TDM_CLICK_BUTTON (WM_USER + 102)
#define TD_ERROR_ICON MAKEINTRESOURCEW(-2)
typedef HRESULT(CALLBACK* PFTASKDIALOGCALLBACK)(HWND, UINT, WPARAM, LPARAM, LONG_PTR);
struct TASKDIALOGCONFIG {
    UINT cbSize;
    HWND hwndParent;
    HINSTANCE hInstance;
    TASKDIALOG_FLAGS dwFlags;
    TASKDIALOG_COMMON_BUTTON_FLAGS dwCommonButtons;
    PCWSTR pszWindowTitle;
    PCWSTR pszMainIcon;
    PCWSTR pszMainInstruction;
    PCWSTR pszContent;
    PCWSTR pszExpandedInformation;
    PCWSTR pszExpandedControlText;
    PCWSTR pszFooterIcon;
    PCWSTR pszFooter;
    PFTASKDIALOGCALLBACK pfCallback;
    LONG_PTR lpCallbackData;
    UINT cxWidth;
};

// kernel32
DWORD GetLastError();
void SetLastError(DWORD code);
LPWSTR GetCommandLineW();
HMODULE GetModuleHandleW(LPCWSTR module_name);
HANDLE CreateMutexW(SECURITY_ATTRIBUTES* attributes, BOOL initial_owner, LPCWSTR name);
BOOL CloseHandle(HANDLE handle);

// user32
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity);
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT load_flags);
ATOM RegisterClassExW(const WNDCLASSEXW* window_class);
HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void PostQuitMessage(int exit_code);
BOOL GetMessageW(MSG* message, HWND window, UINT filter_min, UINT filter_max);
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageW(const MSG* message);
UINT RegisterWindowMessageW(LPCWSTR name);
BOOL ChangeWindowMessageFilterEx(HWND window, UINT message, DWORD action, CHANGEFILTERSTRUCT* status);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse_ms, TIMERPROC procedure);
BOOL KillTimer(HWND window, UINT_PTR id);
BOOL SetForegroundWindow(HWND window);
HICON CreateIconIndirect(ICONINFO* parts);
BOOL DestroyIcon(HICON icon);

// gdi32
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bits_per_pixel, const void* bits);
BOOL DeleteObject(HGDIOBJ object);

// ole32
HRESULT CoInitializeEx(LPVOID reserved, DWORD concurrency);
void CoUninitialize();

// shell32
BOOL Shell_NotifyIconW(DWORD message, NOTIFYICONDATAW* data);
HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                        int show_command);

// comctl32 (version 6)
HRESULT LoadIconMetric(HINSTANCE instance, PCWSTR name, int metric, HICON* icon);
HRESULT TaskDialogIndirect(const TASKDIALOGCONFIG* config, int* button, int* radio_button,
                           BOOL* verification_checked);
