// ShellExecuteW: opens an address with xdg-open, started directly (no shell) and waited for; COM needs nothing.
#include <cerrno>
#include <string>

#include <spawn.h>
#include <sys/wait.h>

#include "notifier/standin/internal.hpp"

extern char** environ;

namespace {
// ShellExecuteW's "success" is any value above 32.
constexpr INT_PTR opened = 42;
INT_PTR open_with_xdg_open(const std::string& target) {
    std::string program = "xdg-open";
    std::string argument = target;
    char* arguments[] = {&program[0], &argument[0], nullptr};
    pid_t child = 0;
    const int spawn_error = posix_spawnp(&child, program.c_str(), nullptr, nullptr, arguments, environ);
    if (spawn_error != 0) {
        return spawn_error == ENOENT ? SE_ERR_FNF : SE_ERR_NOASSOC;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return SE_ERR_NOASSOC;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? opened : SE_ERR_NOASSOC;
}
}  // namespace

// Only what the notifier asks for: the default verb on an address, without parameters or folder.
HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, int) {
    const std::string target = standin::to_utf8(file);
    INT_PTR result = SE_ERR_FNF;
    if (verb != nullptr || parameters != nullptr || directory != nullptr) {
        standin::report("ShellExecuteW supports only the default verb without parameters or directory");
        result = SE_ERR_NOASSOC;
    } else if (!target.empty()) {
        result = open_with_xdg_open(target);
    }
    standin::report("shell execute, file: [" + target + "], result: [" + std::to_string(result) + "]");
    return reinterpret_cast<HINSTANCE>(result);
}
// xdg-open needs no COM apartment: there is nothing to set up.
HRESULT CoInitializeEx(LPVOID, DWORD) {
    return S_OK;
}
void CoUninitialize() {}
