// Entry point on Windows: the windowed program's wWinMain hands its instance to the notifier.
#include "notifier/notifier_run.hpp"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return notifier::run_notifier(instance);
}
