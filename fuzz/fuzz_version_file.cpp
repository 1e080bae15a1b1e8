// Fuzz target: a version.json of any bytes, read through the text-mode file layer with a read
// limit, then stored again and read back.
//
// The first input byte picks the read limit; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/fuzz_checks.hpp"
#include "fuzz/scratch_file.hpp"
#include "support/checker_exception.hpp"
#include "support/json_helpers.hpp"
#include "support/version_descriptor.hpp"

namespace {

// The file's bytes before the text stream translates them; a CR LF read counts as one byte, so
// this is the most a successful read can take.
uint32_t read_limit_for(uint8_t selector, std::size_t file_size) {
    const auto size = static_cast<uint32_t>(file_size);
    switch (selector % 4) {
    case 0:
        return 32768;  // what both programs use by default
    case 1:
        return size;
    case 2:
        return size == 0 ? 0 : size - 1;
    default:
        return selector / 4;
    }
}

std::string file_bytes(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// Stores the descriptor as the checker does and checks the file and what reads back from it.
void check_stored(const checker::VersionDescriptor& descriptor, const fuzz::ScratchFile& output) {
    using fuzz::require;
    checker::VersionDescriptor stored;
    try {
        checker::dump_json_to_file(checker::descriptor_to_json(descriptor), output.path());
        stored = checker::descriptor_from_json(checker::load_json_from_file(output.path(), UINT32_MAX));
    } catch (const checker::CheckerException& exception) {
        fuzz::report_violation("a loaded descriptor can be stored and read back", exception.what());
    }
    require(stored == descriptor, "a stored descriptor reads back unchanged", descriptor.version_string);

    const std::string bytes = file_bytes(output.path());
    require(!bytes.empty() && bytes.back() == '}', "version.json ends with its closing brace");
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        if (bytes[index] == '\n') {
            require(index > 0 && bytes[index - 1] == '\r', "every line of version.json ends with CR LF");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const fuzz::ScratchFile input("version_in");
    static const fuzz::ScratchFile output("version_out");
    if (size == 0) {
        return 0;
    }
    const std::size_t file_size = size - 1;
    const uint32_t read_limit = read_limit_for(data[0], file_size);
    input.write(data + 1, file_size);

    checker::VersionDescriptor descriptor;
    try {
        descriptor = checker::descriptor_from_json(checker::load_json_from_file(input.path(), read_limit));
    } catch (const checker::CheckerException& exception) {
        fuzz::require(read_limit < file_size || !fuzz::read_limit_was_passed(exception.what()),
                      "a file no longer than the limit never passes it", exception.what());
        return 0;
    }
    check_stored(descriptor, output);
    return 0;
}
