// Property checks of the fuzz targets.
#include "fuzz/fuzz_checks.hpp"

#include <cstdio>
#include <cstdlib>

namespace fuzz {

void report_violation(const char* property, const std::string& detail) {
    std::fprintf(stderr, "\n==fuzz== property broken: %s\n==fuzz== detail: %s\n", property, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

bool has_prefix(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace fuzz
