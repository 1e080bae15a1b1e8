// Win32 side of the process services: Sleep and GetCurrentProcessId.
#include "support/windows_api.hpp"

#include "process.hpp"

namespace checker {

void sleep_millis(uint32_t millis) { Sleep(millis); }

uint32_t current_process_id() { return static_cast<uint32_t>(GetCurrentProcessId()); }

}  // namespace checker
