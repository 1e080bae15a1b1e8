// ShellExecuteW: opens an address with xdg-open, started directly (no shell) and waited for.
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
        return spawn_error == ENOENT ? SE_ERR_FNF : spawn_error == EACCES ? SE_ERR_ACCESSDENIED : 0;
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

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT) {
    INT_PTR result = SE_ERR_NOASSOC;
    const std::u16string verb_text = verb == nullptr ? std::u16string() : std::u16string(verb);
    const bool supported = (verb_text.empty() || verb_text == u"open") &&
                           (parameters == nullptr || *parameters == 0) && (directory == nullptr || *directory == 0);
    if (file == nullptr || *file == 0) {
        result = SE_ERR_FNF;
    } else if (!supported) {
        standin::report("ShellExecuteW supports only the default or \"open\" verb without parameters or directory");
    } else {
        result = open_with_xdg_open(standin::to_utf8(file));
    }
    standin::report("shell execute, file: [" + standin::to_utf8(file) + "], result: [" + std::to_string(result) + "]");
    return reinterpret_cast<HINSTANCE>(result);
}
