// The checker's run: command line, configuration, then the version check or the delete mode.
#pragma once

namespace checker {

// The whole program from main's arguments: returns the exit status (0 or 1). Every failure ends
// here with status 1, the argument conversion's and the command line's too; never throws.
int run_checker(int argc, char** argv) noexcept;

}  // namespace checker
