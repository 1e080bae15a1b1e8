// Win32 side of the program's arguments: the wide command line, split as the C runtime splits it.
#include "checker/command_arguments.hpp"

#include <cwchar>

#include "support/scoped_resource.hpp"
#include "support/text_conversion.hpp"
#include "support/windows_api.hpp"

#include <shellapi.h>

namespace checker {
namespace {

// The argument list that CommandLineToArgvW allocates as one LocalAlloc block.
struct LocalArgumentList {
    using Value = wchar_t**;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { LocalFree(value); }
};

}  // namespace

std::vector<std::string> command_arguments(int argc, char** argv) {
    int count = 0;
    const ScopedResource<LocalArgumentList> list(CommandLineToArgvW(GetCommandLineW(), &count));
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
