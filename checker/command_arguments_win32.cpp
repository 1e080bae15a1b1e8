// Win32 side of the program's arguments: the wide command line, split as the C runtime splits it.
#include "checker/command_arguments.hpp"

#include <cwchar>

#include "support/scoped_resource.hpp"
#include "support/text_conversion.hpp"
#include "support/windows_handles.hpp"

#include <shellapi.h>

namespace checker {

std::vector<std::string> command_arguments(int argc, char** argv) {
    int count = 0;
    // CommandLineToArgvW allocates the whole list as one LocalAlloc block.
    const ScopedResource<LocalMemory<wchar_t**>> list(CommandLineToArgvW(GetCommandLineW(), &count));
    if (list.get() == nullptr) {
        // Without the wide list, the ANSI arguments are still better than none.
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int index = 0; index < count; ++index) {
        const wchar_t* argument = list.get()[index];
        arguments.push_back(narrow(reinterpret_cast<const char16_t*>(argument), std::wcslen(argument)));
    }
    return arguments;
}

}  // namespace checker
