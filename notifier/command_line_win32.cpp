// The command line on Windows: GetCommandLineW.
#include "notifier/command_line.hpp"

#include "support/windows_api.hpp"

namespace notifier {

std::u16string process_command_line() {
    return std::u16string(reinterpret_cast<const char16_t*>(GetCommandLineW()));
}

}  // namespace notifier
