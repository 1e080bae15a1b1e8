// Entry point on Windows: the windowed program's wWinMain runs the notifier.
#include "notifier/notifier_run.hpp"
#include "support/windows_api.hpp"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return notifier::run_notifier();
}
