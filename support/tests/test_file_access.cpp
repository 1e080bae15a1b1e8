// Tests of FileHandle, text-mode streams, the jansson callbacks and the file operations.
#include <cstdio>
#include <random>
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/file_access.hpp"
#include "support/file_system.hpp"
#include "test_helpers.hpp"

using namespace checker;
using support_test::failure_of;
using support_test::read_raw;
using support_test::TemporaryFolder;
using support_test::write_raw;

namespace {

constexpr std::size_t read_failure = static_cast<std::size_t>(-1);

// Everything the text stream delivers, read in pieces of chunk bytes.
std::string read_text(const std::string& path, std::size_t chunk) {
    FileHandle input = open_file(path, "r", 0);
    std::string text;
    std::string buffer(chunk, '\0');
    while (std::size_t count = std::fread(&buffer[0], 1, chunk, input.file())) {
        text.append(buffer, 0, count);
    }
    return text;
}

}  // namespace

TEST(OpenFile, FailuresNameFileModeAndSystemText) {
    TemporaryFolder folder;
    const std::string missing = folder.path("missing.json");
    EXPECT_EQ("Cannot open file: [" + missing +
                  "], with mode: [r], error: [code: [2], message: [No such file or directory]]",
              failure_of([&] { open_file(missing, "r", 10); }));
    // A directory is refused at open, as on Windows.
    EXPECT_NE("", failure_of([&] { open_file(folder.path(), "r", 10); }));
    EXPECT_EQ("Invalid 'null' FILE specified", failure_of([] { FileHandle("x", nullptr, 0); }));
}

TEST(TextMode, ReadingTurnsCrLfIntoLfAtEveryBlockBoundary) {
    TemporaryFolder folder;
    // Random CR, LF and letters put CR LF pairs across every buffer boundary of the stream.
    std::mt19937 generator(7);
    std::string raw;
    std::string expected;
    for (int index = 0; index < 20000; ++index) {
        raw += "\r\nab"[generator() % 4];
        if (raw.size() >= 2 && raw.compare(raw.size() - 2, 2, "\r\n") == 0) {
            expected.back() = '\n';
        } else {
            expected += raw.back();
        }
    }
    raw += '\r';  // a CR at the end of the file stays
    expected += '\r';
    write_raw(folder.path("mixed"), raw);
    for (std::size_t chunk : {1, 7, 4095, 4096, 8193}) {
        EXPECT_EQ(expected, read_text(folder.path("mixed"), chunk)) << "chunk " << chunk;
    }
    write_raw(folder.path("ctrl-z"), "ab\r\n\x1A" "cd\r\n");  // Ctrl-Z ends a text stream
    EXPECT_EQ("ab\n", read_text(folder.path("ctrl-z"), 64));
}

TEST(TextMode, WritingTurnsLfIntoCrLf) {
    TemporaryFolder folder;
    write_raw(folder.path("out"), "old content, longer than the new");
    std::string text = "a\nb\r\n";
    std::string expected = "a\r\nb\r\r\n";
    for (int index = 0; index < 10000; ++index) {  // crosses the translation buffer
        text += "x\n";
        expected += "x\r\n";
    }
    FileHandle output = open_file(folder.path("out"), "w", 0);
    ASSERT_EQ(0, write_callback(text.data(), text.size(), &output));
    ASSERT_TRUE(output.close());
    EXPECT_EQ(expected, read_raw(folder.path("out")));
}

TEST(ReadCallback, LimitCountsDeliveredBytes) {
    TemporaryFolder folder;
    char buffer[64];
    write_raw(folder.path("empty"), "");
    FileHandle empty = open_file(folder.path("empty"), "r", 0);
    EXPECT_EQ(0u, read_callback(buffer, sizeof buffer, &empty));

    // Six bytes on disk, four as the stream delivers them.
    const std::string path = folder.path("lines");
    write_raw(path, "a\r\nb\r\n");
    FileHandle exact = open_file(path, "r", 4);
    EXPECT_EQ(4u, read_callback(buffer, sizeof buffer, &exact));
    EXPECT_EQ(0u, read_callback(buffer, sizeof buffer, &exact));

    FileHandle short_limit = open_file(path, "r", 3);
    EXPECT_EQ(read_failure, read_callback(buffer, sizeof buffer, &short_limit));
    EXPECT_EQ(read_failure, read_callback(nullptr, 1, &short_limit));
    EXPECT_EQ("Read limit exceeded: [3], filepath: [" + path + "]\n'null' buffer specified for 'read', filepath: [" +
                  path + "]",
              short_limit.error_text());
}

TEST(FileOperations, ExistsDeleteAndRemoveAreQuiet) {
    TemporaryFolder folder;
    ASSERT_EQ(0, ::mkdir(folder.path("dir").c_str(), 0777));
    write_raw(folder.path("dir/inner"), "x");
    EXPECT_TRUE(file_exists(folder.path("dir/inner")));
    EXPECT_FALSE(file_exists(folder.path("dir")));
    delete_file(folder.path("missing"));
    remove_directory(folder.path("dir"));  // not empty: stays
    EXPECT_TRUE(file_exists(folder.path("dir/inner")));
}
