// Entry point on POSIX: runs the notifier on the scripted desktop; the command line is the arguments joined by blanks.
#include <string>

#include "notifier/notifier_run.hpp"
#include "support/text_conversion.hpp"

int main(int argument_count, char** arguments) {
    std::string command_line;
    for (int index = 0; index < argument_count; ++index) {
        command_line += (index == 0 ? "" : " ") + std::string(arguments[index]);
    }
    return notifier::run_notifier(checker::widen(command_line));
}
