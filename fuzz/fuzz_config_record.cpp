// Fuzz target: parsed config.json documents of any shape turned into the configuration record.
#include <cstddef>
#include <cstdint>
#include <string>

#include <jansson.h>

#include "checker/checker_config.hpp"
#include "fuzz/config_properties.hpp"
#include "fuzz/fuzz_checks.hpp"
#include "support/checker_exception.hpp"
#include "support/json_helpers.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // A Windows folder, as the installed checker sees its own.
    static const std::string executable_directory = "C:\\Program Files\\Quorvane\\bin\\";
    json_error_t error{};
    json_t* parsed = json_loadb(reinterpret_cast<const char*>(data), size, checker::json_parse_flags, &error);
    if (parsed == nullptr) {
        return 0;
    }
    try {
        const checker::JsonHandle document = checker::adopt_json(parsed);
        fuzz::check_config_properties(checker::load_config(document, executable_directory), executable_directory);
    } catch (const checker::CheckerException&) {
        // Not an object (or an array that is no DM response): the run ends with that message.
    }
    return 0;
}
