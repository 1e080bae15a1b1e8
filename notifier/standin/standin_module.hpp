// What a POSIX program hands the stand-in before it runs Win32 code, and the stand-in's error texts.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "notifier/standin/win32_standin.hpp"

namespace standin {
struct StringResource {
    UINT id;
    const char16_t* text;
};

// Makes these the string table and icon resource ids of the program's own module, the one that
// GetModuleHandleW(nullptr) returns. The table is referenced, not copied.
void install_module(const StringResource* strings, std::size_t count, const std::vector<UINT>& icon_ids);

// "code: [N], message: [text]" with the Windows sentence for each code the stand-in sets; the
// empty text for 0, like the Windows side's system_error_message.
std::string error_message(DWORD code);
}  // namespace standin
