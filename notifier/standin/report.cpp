// The stand-in's report lines: what a person would see on the screen, written to standard error.
#include <cstdio>
#include <string>

#include "notifier/standin/internal.hpp"

namespace standin {

void report(const std::string& line) {
    std::fprintf(stderr, "standin: %s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace standin
