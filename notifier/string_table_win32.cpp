// The string table on Windows: LoadStringW from the program's own module.
#include "notifier/string_table.hpp"

#include "support/windows_api.hpp"

namespace notifier {
namespace {

// Texts longer than this less one character come back cut.
constexpr int string_buffer_capacity = 4096;

}  // namespace

std::u16string string_table_entry(uint32_t id) {
    std::u16string buffer(string_buffer_capacity, u'\0');
    const int count = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<WCHAR*>(&buffer[0]),
                                  string_buffer_capacity);
    buffer.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return buffer;
}

}  // namespace notifier
