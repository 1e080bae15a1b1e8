// GetCommandLineW: the process's whole command line, its arguments joined by single blanks.
#include <fstream>
#include <iterator>
#include <string>

#include "notifier/standin/internal.hpp"

LPWSTR GetCommandLineW() {
    static std::u16string command_line = [] {
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
    }();
    return &command_line[0];
}
