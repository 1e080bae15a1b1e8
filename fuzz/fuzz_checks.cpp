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

bool read_limit_was_passed(const std::string& load_failure) {
    const std::string label = "callback error: [";
    const std::size_t label_position = load_failure.rfind(label);
    return label_position != std::string::npos &&
           has_prefix(load_failure.substr(label_position + label.size()), "Read limit exceeded: [");
}

}  // namespace fuzz
