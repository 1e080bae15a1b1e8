// Test helper for the Wine tests: starts checkerw.exe with a command line whose last argument is
// not UTF-16 (an unpaired high surrogate) and looks for windows of that process.
//
// Usage: checkerw_probe.exe EXE
// Waits up to 5 s for EXE to end (a message box would hold it), then lists the visible top-level
// windows of its process, and ends it when it is still running. Prints what it found; status 0
// when EXE ended by itself with status 1 and showed no window, 1 otherwise. Built by the Wine
// tests with the mingw-w64 cross compiler; never run on the host.
#include <cstdio>
#include <string>

#include "support/scoped_resource.hpp"
#include "support/windows_handles.hpp"

namespace {

struct WindowCount {
    DWORD process_id;
    int visible;
};

BOOL CALLBACK count_window(HWND window, LPARAM parameter) {
    WindowCount& count = *reinterpret_cast<WindowCount*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count.process_id && IsWindowVisible(window)) {
        wchar_t title[128] = L"";
        GetWindowTextW(window, title, 128);
        std::printf("visible window: [%ls]\n", title);
        ++count.visible;
    }
    return TRUE;
}

int check_checkerw(const std::wstring& program) {
    std::wstring command_line = L"\"" + program + L"\" --config \xD800x";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        std::printf("not started, error: %lu\n", GetLastError());
        return 1;
    }
    const checker::ScopedResource<checker::KernelHandle> process(started.hProcess);
    const checker::ScopedResource<checker::KernelHandle> thread(started.hThread);
    const bool ended = WaitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0;
    WindowCount count{started.dwProcessId, 0};
    EnumWindows(count_window, reinterpret_cast<LPARAM>(&count));
    if (!ended) {
        TerminateProcess(process.get(), 99);
        WaitForSingleObject(process.get(), 5000);
    }
    DWORD status = 0;
    GetExitCodeProcess(process.get(), &status);
    std::printf("ended by itself: %d, status: %lu, visible windows: %d\n", ended, status, count.visible);
    return ended && status == 1 && count.visible == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: checkerw_probe.exe EXE\n");
        return 2;
    }
    return check_checkerw(argv[1]);
}
