// The notifier's only view of the Windows platform: the real SDK on Windows, the stand-in elsewhere.
//
// The notifier's logic is written once against these names. UTF-16 text is held as char16_t;
// `wide` hands it to the platform and `utf16` takes it back (a cast on Windows, where WCHAR is
// wchar_t; nothing on POSIX). `system_error_text` turns a GetLastError code into the bracketed
// "code: [N], message: [...]" text.
//
// Windows side: links user32, gdi32, shell32, ole32 and comctl32 (version 6, bound by the manifest).
#pragma once

#include <string>

#if defined(_WIN32)

#include "support/windows_api.hpp"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "support/diagnostic_text.hpp"

namespace notifier {

inline const WCHAR* wide(const char16_t* text) {
    return reinterpret_cast<const WCHAR*>(text);
}
inline WCHAR* wide(char16_t* text) {
    return reinterpret_cast<WCHAR*>(text);
}
inline const char16_t* utf16(const WCHAR* text) {
    return reinterpret_cast<const char16_t*>(text);
}
inline std::string system_error_text(DWORD code) {
    return checker::system_error_message(code);
}

}  // namespace notifier

#else

#include "notifier/standin/standin_module.hpp"
#include "notifier/standin/win32_standin.hpp"

namespace notifier {

inline const WCHAR* wide(const char16_t* text) {
    return text;
}
inline WCHAR* wide(char16_t* text) {
    return text;
}
inline const char16_t* utf16(const WCHAR* text) {
    return text;
}
inline std::string system_error_text(DWORD code) {
    return standin::error_message(code);
}

}  // namespace notifier

#endif
