// POSIX side of the program's arguments: main's own, which are bytes as the user typed them.
#include "checker/command_arguments.hpp"

namespace checker {

std::vector<std::string> command_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace checker
