// Entry point on Windows: the windowed program's wWinMain runs the notifier on its whole command line.
#include "notifier/notifier_run.hpp"
#include "support/windows_api.hpp"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return notifier::run_notifier(reinterpret_cast<const char16_t*>(GetCommandLineW()));
}
