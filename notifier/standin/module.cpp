// The program's own module: its handle, string table (LoadStringW) and icon resource ids.
#include <algorithm>
#include <string>
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
    const auto end = module.strings + module.string_count;
    const auto found =
        std::find_if(module.strings, end, [id](const standin::StringResource& entry) { return entry.id == id; });
    return found == end ? nullptr : found->text;
}
}  // namespace

namespace standin {
void install_module(const StringResource* strings, std::size_t count, const std::vector<UINT>& icon_ids) {
    program_module.strings = strings;
    program_module.string_count = count;
    program_module.icon_ids = icon_ids;
}
bool module_has_icon(HINSTANCE instance, UINT id) {
    const HINSTANCE__* module = resolve_module(instance);
    return module != nullptr && std::find(module->icon_ids.begin(), module->icon_ids.end(), id) != module->icon_ids.end();
}
}  // namespace standin

// Only the program's own module (a null name) exists.
HMODULE GetModuleHandleW(LPCWSTR module_name) {
    return module_name == nullptr ? &program_module : nullptr;
}
// Copies the text, cut to the capacity less one; the notifier always hands over a buffer.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity) {
    const HINSTANCE__* module = resolve_module(instance);
    if (module == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const char16_t* text = find_string(*module, id);
    if (text == nullptr || *text == 0) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const std::size_t copied = std::min(std::char_traits<char16_t>::length(text), static_cast<std::size_t>(capacity) - 1);
    std::copy(text, text + copied, buffer);
    buffer[copied] = 0;
    return static_cast<int>(copied);
}
