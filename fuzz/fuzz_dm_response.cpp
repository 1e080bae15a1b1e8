// Fuzz target: DM response bytes, parsed the way the download feeds the parser, through the
// checker's load hook into a version descriptor.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <jansson.h>

#include "fuzz/fuzz_checks.hpp"
#include "support/checker_exception.hpp"
#include "support/json_helpers.hpp"
#include "support/version_descriptor.hpp"

namespace {

// Hands the input to the parser in small uneven pieces, as a network transfer delivers it.
struct PieceReader {
    const uint8_t* data;
    std::size_t size;
    std::size_t position;
    std::size_t round;
};

std::size_t read_piece(void* buffer, std::size_t length, void* context) {
    static const std::size_t piece_sizes[] = {1, 7, 64, 3, 512, 2, 4096};
    auto& reader = *static_cast<PieceReader*>(context);
    const std::size_t piece = piece_sizes[reader.round++ % (sizeof piece_sizes / sizeof piece_sizes[0])];
    const std::size_t count = std::min({length, reader.size - reader.position, piece});
    std::memcpy(buffer, reader.data + reader.position, count);
    reader.position += count;
    return count;
}

// The texts a failed conversion may end with; anything else is a fault of its own.
bool is_expected_failure(const std::string& message) {
    static const char* const prefixes[] = {
        "Cannot extract 'featuredArtifact' from DM response",
        "Cannot extract version from DM response",
        "Cannot extract 'build' from DM response",
        "Cannot parse uint32_t from string: [",
        "Value overflow for uint32_t from string: [",
        "Cannot parse uint64_t from string: [",
        "'major' too wide for the version number: [",
        "'update' too wide for the version number: [",
        "'release' too wide for the version number: [",
        "'build' too wide for the version number: [",
        "Invalid 'null' JSON specified",
        "Invalid 'non-object' JSON specified",
    };
    return std::any_of(std::begin(prefixes), std::end(prefixes),
                       [&](const char* prefix) { return fuzz::has_prefix(message, prefix); });
}

void check_converted(const checker::VersionDescriptor& descriptor) {
    using fuzz::require;
    require(descriptor.os_name == "Windows", "a converted response names Windows", descriptor.os_name);
    require(descriptor.ui_balloon_text ==
                "OpenJDK version " + descriptor.version_string + " is available for download",
            "the balloon text carries the version string", descriptor.ui_balloon_text);
    require(descriptor.ui_update_header == descriptor.ui_balloon_text, "header and balloon text agree");
    // "1" and exactly ten digits of major, update, release and build.
    require(descriptor.version_number >= 10000000000ULL && descriptor.version_number <= 19999999999ULL,
            "a converted version number has eleven digits", std::to_string(descriptor.version_number));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    PieceReader reader{data, size, 0, 0};
    json_error_t error{};
    json_t* parsed = json_load_callback(read_piece, &reader, checker::json_parse_flags, &error);
    if (parsed == nullptr) {
        return 0;
    }
    const bool is_response = json_is_array(parsed);
    checker::VersionDescriptor descriptor;
    try {
        descriptor = checker::descriptor_from_json(checker::adopt_json(parsed));
    } catch (const checker::CheckerException& exception) {
        fuzz::require(is_expected_failure(exception.what()), "the conversion fails with a known text",
                      exception.what());
        return 0;
    }
    if (is_response) {
        check_converted(descriptor);
    }
    // What the checker would store reads back as the same descriptor.
    try {
        const checker::VersionDescriptor stored = checker::descriptor_from_json(checker::descriptor_to_json(descriptor));
        fuzz::require(stored == descriptor, "a descriptor survives its JSON form", descriptor.version_string);
    } catch (const checker::CheckerException& exception) {
        fuzz::report_violation("a parsed descriptor can be stored", exception.what());
    }
    return 0;
}
