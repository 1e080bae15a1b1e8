// Prints the programs' table of policy values for test_policy_template.py: the key path for the
// vendor word given, then one "name kind" line per value.
#include <cstdio>

#include "support/update_policy.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: print_policy_values VENDOR_WORD\n");
        return 2;
    }
    std::printf("%s\n", checker::policy_key_path(argv[1]).c_str());
    for (const checker::PolicyValueName& value : checker::policy_values) {
        const char* kind = value.kind == checker::PolicyKind::switch_value ? "switch"
                           : value.kind == checker::PolicyKind::address    ? "address"
                                                                           : "minutes";
        std::printf("%s %s\n", value.name, kind);
    }
    return 0;
}
