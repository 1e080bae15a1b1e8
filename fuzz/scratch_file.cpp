// A file in the temporary folder that holds the current fuzz input.
#include "fuzz/scratch_file.hpp"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "fuzz/fuzz_checks.hpp"
#include "support/diagnostic_text.hpp"
#include "support/process.hpp"

namespace fuzz {

ScratchFile::ScratchFile(const std::string& role) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    require(!error, "a temporary folder exists", error.message());
    path_ = (folder / ("quorvane_fuzz_" + role + "_" + checker::to_string(checker::current_process_id()))).string();
}

ScratchFile::~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

void ScratchFile::write(const uint8_t* data, std::size_t size) const {
    std::ofstream stream(path_, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    stream.close();
    require(!stream.fail(), "the scratch file takes the input", path_);
}

}  // namespace fuzz
