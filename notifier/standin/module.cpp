// The program's own module: its handle, string table (LoadStringW) and icon resource ids.
#include <algorithm>
#include <vector>

#include "notifier/standin/internal.hpp"
#include "notifier/standin/standin_module.hpp"

struct HINSTANCE__ {
    const standin::StringResource* strings = nullptr;
    std::size_t string_count = 0;
    std::vector<UINT> icon_ids;
};

namespace {

HINSTANCE__ program_module;

// A null instance means the program's own module, as on Windows.
HINSTANCE__* resolve_module(HINSTANCE instance) {
    if (instance == nullptr || instance == &program_module) {
        return &program_module;
    }
    return nullptr;
}

const char16_t* find_string(const HINSTANCE__& module, UINT id) {
    for (std::size_t index = 0; index < module.string_count; ++index) {
        if (module.strings[index].id == id) {
            return module.strings[index].text;
        }
    }
    return nullptr;
}

std::size_t text_length(const char16_t* text) {
    return std::char_traits<char16_t>::length(text);
}

}  // namespace

namespace standin {

void install_module(const StringResource* strings, std::size_t count, const std::vector<UINT>& icon_ids) {
    program_module.strings = strings;
    program_module.string_count = count;
    program_module.icon_ids = icon_ids;
}

std::u16string resource_text(HINSTANCE instance, PCWSTR text) {
    if (text == nullptr) {
        return std::u16string();
    }
    if (!IS_INTRESOURCE(text)) {
        return std::u16string(text);
    }
    const HINSTANCE__* module = resolve_module(instance);
    const char16_t* found = module == nullptr ? nullptr : find_string(*module, LOWORD(text));
    return found == nullptr ? std::u16string() : std::u16string(found);
}

bool module_has_icon(HINSTANCE instance, UINT id) {
    const HINSTANCE__* module = resolve_module(instance);
    return module != nullptr && std::find(module->icon_ids.begin(), module->icon_ids.end(), id) != module->icon_ids.end();
}

}  // namespace standin

HMODULE GetModuleHandleW(LPCWSTR module_name) {
    if (module_name != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return &program_module;
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity) {
    const HINSTANCE__* module = resolve_module(instance);
    if (module == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (buffer == nullptr || capacity < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char16_t* text = find_string(*module, id);
    if (text == nullptr || *text == 0) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const std::size_t length = text_length(text);
    if (capacity == 0) {
        // Capacity 0 hands out a read-only pointer to the resource text instead of a copy.
        *reinterpret_cast<const WCHAR**>(buffer) = text;
        return static_cast<int>(length);
    }
    const std::size_t copied = std::min(length, static_cast<std::size_t>(capacity) - 1);
    std::copy(text, text + copied, buffer);
    buffer[copied] = 0;
    return static_cast<int>(copied);
}
