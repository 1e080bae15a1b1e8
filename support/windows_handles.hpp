// The owner traits of every Windows handle and system buffer, side by side, for the Win32 side
// of the seams: ScopedResource<RegistryKey> closes its key with RegCloseKey, and so on.
//
// A Windows handle kind is owned through a trait declared here and nowhere else. Add a new kind
// here (with the header that declares its close function, after windows_api.hpp).
#pragma once

#include "support/windows_api.hpp"

// CoTaskMemFree.
#include <objbase.h>
// _close.
#include <io.h>

namespace checker {

// A kernel object handle that is null when empty (a thread, an event, a mutex).
struct KernelHandle {
    using Value = HANDLE;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { CloseHandle(value); }
};

// A kernel object handle from CreateFileW, which is INVALID_HANDLE_VALUE when empty.
struct KernelFileHandle {
    using Value = HANDLE;
    static Value empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Value value) noexcept { CloseHandle(value); }
};

// A directory search from FindFirstFileW.
struct FindHandle {
    using Value = HANDLE;
    static Value empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Value value) noexcept { FindClose(value); }
};

// A C runtime descriptor that no stream owns yet.
struct CrtDescriptor {
    using Value = int;
    static Value empty() noexcept { return -1; }
    static void close(Value value) noexcept { _close(value); }
};

// A block that the system allocated with LocalAlloc for its caller (FormatMessageW's text,
// CommandLineToArgvW's argument list), seen as Pointer.
template <typename Pointer>
struct LocalMemory {
    using Value = Pointer;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { LocalFree(value); }
};

// A block that the system allocated with GlobalAlloc for its caller (WinHTTP's texts), seen as
// Pointer.
template <typename Pointer>
struct GlobalMemory {
    using Value = Pointer;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { GlobalFree(value); }
};

// A block that the shell allocated with the COM task allocator (a known folder's path).
struct TaskMemory {
    using Value = PWSTR;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { CoTaskMemFree(value); }
};

// An open registry key.
struct RegistryKey {
    using Value = HKEY;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { RegCloseKey(value); }
};

// A WinHTTP session.
struct WinHttpHandle {
    using Value = HINTERNET;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { WinHttpCloseHandle(value); }
};

// A certificate store of the chain engine (an in-memory store of candidate certificates).
struct CertificateStore {
    using Value = HCERTSTORE;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { CertCloseStore(value, 0); }
};

// A certificate context that the caller must free.
struct CertificateContext {
    using Value = PCCERT_CONTEXT;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { CertFreeCertificateContext(value); }
};

// A chain that CertGetCertificateChain built.
struct ChainContext {
    using Value = PCCERT_CHAIN_CONTEXT;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { CertFreeCertificateChain(value); }
};

// An icon made at run time (CreateIconIndirect).
struct IconHandle {
    using Value = HICON;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { DestroyIcon(value); }
};

// A GDI bitmap (LoadImageW).
struct BitmapHandle {
    using Value = HBITMAP;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { DeleteObject(value); }
};

// A window of the program's own.
struct WindowHandle {
    using Value = HWND;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { DestroyWindow(value); }
};

// The thread's single-threaded COM apartment (true once CoInitializeEx opened it here).
struct ComApartment {
    using Value = bool;
    static Value empty() noexcept { return false; }
    static void close(Value) noexcept { CoUninitialize(); }
};

}  // namespace checker
