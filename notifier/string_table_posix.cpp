// The string table on POSIX: the entries generated from strings.txt, compiled into the program.
#include "notifier/string_table.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace notifier {

// Generated at build time (notifier_string_table.cpp).
extern const std::pair<uint32_t, const char16_t*> string_table[];
extern const std::size_t string_table_size;

std::u16string string_table_entry(uint32_t id) {
    const auto end = string_table + string_table_size;
    const auto found = std::find_if(string_table, end, [id](const auto& entry) { return entry.first == id; });
    return found == end ? std::u16string() : std::u16string(found->second).substr(0, 4095);
}

}  // namespace notifier
