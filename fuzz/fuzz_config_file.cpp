// Fuzz target: a config.json of any bytes, read through the text-mode file layer with the
// checker's 32768-byte limit, then turned into the configuration record.
#include <cstddef>
#include <cstdint>
#include <string>

#include "checker/checker_config.hpp"
#include "fuzz/config_properties.hpp"
#include "fuzz/fuzz_checks.hpp"
#include "fuzz/scratch_file.hpp"
#include "support/checker_exception.hpp"
#include "support/json_helpers.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const fuzz::ScratchFile input("config_in");
    static const std::string executable_directory = "/opt/quorvane/bin/";
    constexpr uint32_t config_read_limit = 32768;
    input.write(data, size);
    try {
        const checker::JsonHandle document = checker::load_json_from_file(input.path(), config_read_limit, checker::ParseFailureText::position_only);
        fuzz::check_config_properties(checker::load_config(document, executable_directory), executable_directory);
    } catch (const checker::CheckerException& exception) {
        const std::string what = exception.what();
        fuzz::require(size > config_read_limit || !fuzz::read_limit_was_passed(what),
                      "a file no longer than the limit never passes it", what);
        // The parser's own text quotes the file; a value of the wrong kind may still be named.
        fuzz::require(what.rfind("Error parsing JSON", 0) != 0 || what.find("text: [") == std::string::npos,
                      "a parse failure never quotes the configuration", what);
    }
    return 0;
}
