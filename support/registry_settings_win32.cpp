// Win32 side of the registry values: RegOpenKeyExW in the 64-bit view, then RegQueryValueExW.
#include "support/windows_api.hpp"

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "registry_settings.hpp"
#include "scoped_resource.hpp"
#include "text_conversion.hpp"
#include "windows_handles.hpp"

namespace checker {
namespace {

const wchar_t* wide_text(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The value's bytes after a sizing call and a filling call; a value that grows in between is
// read again.
std::optional<RegistryValue> query_value(HKEY key, const std::u16string& name) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegQueryValueExW(key, wide_text(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        // Room for a terminating NUL that the stored text may lack.
        std::vector<BYTE> data(size + sizeof(wchar_t), 0);
        DWORD filled = size;
        const LONG status = RegQueryValueExW(key, wide_text(name), nullptr, &type, data.data(), &filled);
        if (status == ERROR_MORE_DATA) {
            continue;
        }
        if (status != ERROR_SUCCESS) {
            return std::nullopt;
        }
        RegistryValue value;
        if (type == REG_DWORD && filled == sizeof(DWORD)) {
            value.type = RegistryValue::Type::dword;
            value.number = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
        } else if (type == REG_SZ) {
            value.type = RegistryValue::Type::text;
            std::u16string text(filled / sizeof(char16_t) + 1, u'\0');
            std::memcpy(&text[0], data.data(), text.size() * sizeof(char16_t));
            // The stored text may end in one or more NULs, or none.
            text.erase(std::find(text.begin(), text.end(), u'\0'), text.end());
            value.text = narrow(text);
        }
        return value;
    }
    return std::nullopt;
}

}  // namespace

std::optional<RegistryValue> read_registry_value(RegistryRoot root, const std::string& key_path,
                                                 const std::string& name) {
    try {
        HKEY opened = nullptr;
        const HKEY base = root == RegistryRoot::machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        if (RegOpenKeyExW(base, wide_text(widen(key_path)), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        const ScopedResource<RegistryKey> key(opened);
        return query_value(key.get(), widen(name));
    } catch (const std::exception&) {
        // A text that cannot be converted counts as a value that is not set.
        return std::nullopt;
    }
}

}  // namespace checker
