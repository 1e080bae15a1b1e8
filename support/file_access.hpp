// A C stream with its path, read limit and collected failures, for jansson's callbacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace checker {

class FileHandle {
public:
    // Throws "Invalid 'null' FILE specified" for a null stream.
    FileHandle(const std::string& path, std::FILE* file, uint32_t read_limit);
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    const std::string& path() const { return path_; }
    std::FILE* file() const { return file_; }
    uint32_t read_limit() const { return read_limit_; }
    uint64_t bytes_read() const { return bytes_read_; }
    void add_bytes_read(uint64_t count) { bytes_read_ += count; }
    const std::string& error_text() const { return error_text_; }

    // Appends a failure text, one per line; an empty text is ignored.
    void record_error(const std::string& text);

    // Flushes and closes the stream now, recording any failure; true on success.
    bool close();

private:
    std::string path_;
    std::FILE* file_;
    uint32_t read_limit_;
    uint64_t bytes_read_ = 0;
    std::string error_text_;
};

// Opens in text mode ("r" / "w"); throws "Cannot open file: [...]" on failure.
FileHandle open_file(const std::string& path, const std::string& mode, uint32_t read_limit);

// jansson json_load_callback_t: bytes placed, 0 at end of file, (size_t)-1 on failure.
std::size_t read_callback(void* buffer, std::size_t buffer_length, void* data);
// jansson json_dump_callback_t: 0 on success, -1 on failure.
int write_callback(const char* buffer, std::size_t size, void* data);

}  // namespace checker
