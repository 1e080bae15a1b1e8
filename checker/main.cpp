// Entry point of the checker program.
#include <string>
#include <vector>

#include "checker/command_arguments.hpp"
#include "checker/run_sequence.hpp"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = checker::command_arguments(argc, argv);
    std::vector<const char*> pointers;
    pointers.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    pointers.push_back(nullptr);
    return checker::run_checker(static_cast<int>(arguments.size()), pointers.data());
}
