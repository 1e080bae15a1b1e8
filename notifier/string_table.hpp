// The program's string table (generated from strings.txt on both platforms).
//
// Platform seam: string_table_win32.cpp (LoadStringW from the module's resources) and
// string_table_posix.cpp (the table compiled into the program). Neither throws but for a failed allocation.
#pragma once

#include <cstdint>
#include <string>

namespace notifier {

// Entry `id`, at most 4095 characters; empty when it is missing.
std::u16string string_table_entry(uint32_t id);

}  // namespace notifier
