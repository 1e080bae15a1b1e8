// Tests of FileHandle, text-mode streams, the jansson callbacks and the file operations.
#include <cstdio>
#include <random>
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/checker_exception.hpp"
#include "support/file_access.hpp"
#include "test_files.hpp"

using namespace checker;
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
    std::size_t count = 0;
    while ((count = std::fread(&buffer[0], 1, chunk, input.file())) > 0) {
        text.append(buffer, 0, count);
    }
    return text;
}

// What the Windows C runtime delivers for raw bytes: CR LF becomes LF, Ctrl-Z ends the text.
std::string expected_text(const std::string& raw) {
    std::string text;
    for (std::size_t index = 0; index < raw.size() && raw[index] != '\x1A'; ++index) {
        if (!(raw[index] == '\r' && index + 1 < raw.size() && raw[index + 1] == '\n')) {
            text += raw[index];
        }
    }
    return text;
}

}  // namespace

TEST(FileHandle, RejectsNullStreamAndJoinsFailuresByLine) {
    try {
        FileHandle handle("x", nullptr, 0);
        FAIL() << "no exception";
    } catch (const CheckerException& failure) {
        EXPECT_STREQ("Invalid 'null' FILE specified", failure.what());
    }
    TemporaryFolder folder;
    write_raw(folder.path("a"), "");
    FileHandle handle = open_file(folder.path("a"), "r", 0);
    handle.record_error("");
    handle.record_error("first");
    EXPECT_EQ("first", handle.error_text());
    handle.record_error("second");
    EXPECT_EQ("first\nsecond", handle.error_text());
}

TEST(OpenFile, FailuresNameFileModeAndSystemText) {
    TemporaryFolder folder;
    const std::string missing = folder.path("missing.json");
    try {
        open_file(missing, "r", 10);
        FAIL() << "no exception";
    } catch (const CheckerException& failure) {
        EXPECT_EQ("Cannot open file: [" + missing + "], with mode: [r], error: [code: [2], message: [No such file or directory]]",
                  std::string(failure.what()));
    }
    // A directory is refused at open, as on Windows, for reading and for writing.
    EXPECT_THROW(open_file(folder.path(), "r", 10), CheckerException);
    EXPECT_THROW(open_file(folder.path(), "w", 0), CheckerException);
}

TEST(TextMode, ReadingTurnsCrLfIntoLfAtEveryBlockBoundary) {
    TemporaryFolder folder;
    // Random CR, LF and letters put CR LF pairs across every buffer boundary of the stream.
    std::mt19937 generator(7);
    std::string raw;
    for (int index = 0; index < 20000; ++index) {
        raw += "\r\nab"[generator() % 4];
    }
    raw += '\r';  // a CR at the end of the file stays
    write_raw(folder.path("mixed"), raw);
    for (std::size_t chunk : {1, 7, 4095, 4096, 8193}) {
        EXPECT_EQ(expected_text(raw), read_text(folder.path("mixed"), chunk)) << "chunk " << chunk;
    }
    write_raw(folder.path("ctrl-z"), "ab\r\n\x1A" "cd\r\n");
    EXPECT_EQ("ab\n", read_text(folder.path("ctrl-z"), 64));
}

TEST(TextMode, WritingTurnsLfIntoCrLf) {
    TemporaryFolder folder;
    const std::string text = "a\nb\r\n\n" + std::string(20000, '\n') + "end";
    {
        FileHandle output = open_file(folder.path("out"), "w", 0);
        ASSERT_EQ(0, write_callback(text.data(), text.size(), &output));
        ASSERT_TRUE(output.close());
        EXPECT_EQ("", output.error_text());
    }
    std::string expected;
    for (char byte : text) {
        expected += byte == '\n' ? std::string("\r\n") : std::string(1, byte);
    }
    EXPECT_EQ(expected, read_raw(folder.path("out")));
    // "w" truncates what was there.
    write_raw(folder.path("out"), "long old content");
    { FileHandle output = open_file(folder.path("out"), "w", 0); }
    EXPECT_EQ("", read_raw(folder.path("out")));
}

TEST(ReadCallback, LimitCountsDeliveredBytes) {
    TemporaryFolder folder;
    char buffer[64];
    write_raw(folder.path("empty"), "");
    FileHandle empty = open_file(folder.path("empty"), "r", 0);
    EXPECT_EQ(0u, read_callback(buffer, sizeof buffer, &empty));
    EXPECT_EQ("", empty.error_text());

    // Two lines with CR LF: six bytes on disk, four as the stream delivers them.
    const std::string path = folder.path("lines");
    write_raw(path, "a\r\nb\r\n");
    FileHandle exact = open_file(path, "r", 4);
    EXPECT_EQ(4u, read_callback(buffer, sizeof buffer, &exact));
    EXPECT_EQ(0u, read_callback(buffer, sizeof buffer, &exact));

    FileHandle short_limit = open_file(path, "r", 3);
    EXPECT_EQ(read_failure, read_callback(buffer, sizeof buffer, &short_limit));
    EXPECT_EQ("Read limit exceeded: [3], filepath: [" + path + "]", short_limit.error_text());

    FileHandle zero = open_file(path, "r", 0);
    EXPECT_EQ(read_failure, read_callback(buffer, 1, &zero));
}

TEST(Callbacks, NullArgumentsFailWithoutThrowing) {
    TemporaryFolder folder;
    write_raw(folder.path("f"), "x");
    FileHandle handle = open_file(folder.path("f"), "r", 10);
    EXPECT_EQ(read_failure, read_callback(nullptr, 4, nullptr));
    EXPECT_EQ(read_failure, read_callback(nullptr, 4, &handle));
    EXPECT_EQ(-1, write_callback(nullptr, 4, &handle));
    EXPECT_EQ(-1, write_callback("x", 1, nullptr));
    EXPECT_EQ("'null' buffer specified for 'read', filepath: [" + folder.path("f") + "]\n" +
                  "'null' buffer specified for 'write', filepath: [" + folder.path("f") + "]",
              handle.error_text());
}

TEST(WriteFailures, FullDiskIsReportedByWriteOrClose) {
    TemporaryFolder folder;
    const std::string path = folder.path("out");
    // Small writes stay in the stream's buffer: the failure shows only when it is closed.
    const std::string at_close = support_test::run_with_file_size_limit(4, [&] {
        FileHandle output = open_file(path, "w", 0);
        if (write_callback("0123456789", 10, &output) != 0 || output.close()) {
            throw CheckerException("unexpected: " + output.error_text());
        }
        throw CheckerException(output.error_text());
    });
    EXPECT_EQ("'close' error: [File too large], filepath: [" + path + "]", at_close);
    // A large write reaches the file at once and fails there.
    const std::string at_write = support_test::run_with_file_size_limit(4, [&] {
        FileHandle output = open_file(path, "w", 0);
        const std::string large(100000, 'x');
        if (write_callback(large.data(), large.size(), &output) == 0) {
            throw CheckerException("unexpected success");
        }
        throw CheckerException(output.error_text());
    });
    EXPECT_EQ("'write' error: [File too large], filepath: [" + path + "]", at_write);
}

TEST(FileOperations, ExistsDeleteAndRemoveAreQuiet) {
    TemporaryFolder folder;
    write_raw(folder.path("file"), "x");
    ASSERT_EQ(0, ::mkdir(folder.path("dir").c_str(), 0777));
    write_raw(folder.path("dir/inner"), "x");
    EXPECT_TRUE(file_exists(folder.path("file")));
    EXPECT_FALSE(file_exists(folder.path("dir")));
    EXPECT_FALSE(file_exists(folder.path("missing")));

    delete_file(folder.path("missing"));
    delete_file(folder.path("dir"));
    remove_directory(folder.path("dir"));  // not empty: stays
    EXPECT_TRUE(file_exists(folder.path("dir/inner")));
    delete_file(folder.path("dir/inner"));
    remove_directory(folder.path("dir"));
    remove_directory(folder.path("missing"));
    delete_file(folder.path("file"));
    EXPECT_TRUE(folder.entries().empty());
}
