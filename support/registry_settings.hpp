// The registry values an administrator sets for every user (policies), read one value at a time.
//
// Platform seam: registry_settings_win32.cpp opens the key in the 64-bit view of the registry
// (KEY_WOW64_64KEY), so a 32-bit build reads the same key as a 64-bit one;
// registry_settings_posix.cpp has no registry and finds no value. None of these functions throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace checker {

// HKEY_LOCAL_MACHINE (set for the machine) or HKEY_CURRENT_USER (set for the user).
enum class RegistryRoot { machine, user };

// A value as the registry holds it: a DWORD, a text (REG_SZ) or any other type.
struct RegistryValue {
    enum class Type { dword, text, other };
    Type type = Type::other;
    uint32_t number = 0;  // for dword
    std::string text;     // for text, UTF-8
};

// The value `name` under `key_path` (e.g. "SOFTWARE\\Policies\\x") of root; nothing when the
// key or the value does not exist or cannot be read.
std::optional<RegistryValue> read_registry_value(RegistryRoot root, const std::string& key_path,
                                                 const std::string& name);

}  // namespace checker
