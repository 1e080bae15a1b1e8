// Entry point on POSIX: runs the notifier on the scripted desktop.
#include "notifier/notifier_run.hpp"

int main() {
    return notifier::run_notifier();
}
