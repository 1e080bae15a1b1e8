// Test helpers: temporary folders, raw file contents, a size-limited child, caught messages.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/checker_exception.hpp"

#include "failure_of.hpp"

namespace support_test {

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    // The folder path joined with name ("/" in between).
    std::string path(const std::string& name = "") const;
    // Names of the entries in the folder, sorted.
    std::vector<std::string> entries() const;

private:
    std::string path_;
};

void write_raw(const std::string& path, const std::string& bytes);
std::string read_raw(const std::string& path);

// Runs body in a forked child whose files may grow to at most limit bytes (SIGXFSZ ignored,
// so writes fail with EFBIG). Returns the text of the exception body threw, "" when none.
std::string run_with_file_size_limit(uint64_t limit, const std::function<void()>& body);

}  // namespace support_test
