// The checker's run: command line, configuration, then the version check or the delete mode.
#pragma once

namespace checker {

// The whole program: returns the exit status (0 or 1).
int run_checker(int argc, const char** argv);

}  // namespace checker
