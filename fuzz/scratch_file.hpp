// A file in the temporary folder that holds the current fuzz input, removed with its owner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

class ScratchFile {
public:
    // The name carries the role and the process id, so parallel fuzz jobs never share a file.
    explicit ScratchFile(const std::string& role);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return path_; }
    // Replaces the content with exactly these bytes; aborts when the file cannot be written.
    void write(const uint8_t* data, std::size_t size) const;

private:
    std::string path_;
};

}  // namespace fuzz
