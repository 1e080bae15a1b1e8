// The command line on POSIX: the process's arguments from /proc/self/cmdline, joined by single blanks.
#include "notifier/command_line.hpp"

#include <fstream>
#include <iterator>

#include "support/text_conversion.hpp"

namespace notifier {

std::u16string process_command_line() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    std::string arguments((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The kernel ends every argument with a NUL; the last one ends the line.
    if (!arguments.empty() && arguments.back() == '\0') {
        arguments.pop_back();
    }
    for (char& character : arguments) {
        if (character == '\0') {
            character = ' ';
        }
    }
    return checker::widen(arguments);
}

}  // namespace notifier
