// Entry point on POSIX: installs the module's resources into the stand-in and runs the notifier.
#include <cstddef>

#include "notifier/notifier_run.hpp"
#include "notifier/resource_ids.h"

namespace notifier {
// The string table, generated at build time from notifier/strings.txt.
extern const standin::StringResource string_table[];
extern const std::size_t string_table_size;
}  // namespace notifier

int main() {
    standin::install_module(notifier::string_table, notifier::string_table_size, {IDI_NOTIFICATIONICON});
    return notifier::run_notifier(GetModuleHandleW(nullptr));
}
