// Tests of JsonHandle, the getters and setters, the load hook and JSON files.
#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/json_helpers.hpp"
#include "test_helpers.hpp"
#include "test_json_hook.hpp"

using namespace checker;
using support_test::failure_of;
using support_test::read_raw;
using support_test::TemporaryFolder;
using support_test::write_raw;
using testing::AllOf;
using testing::EndsWith;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

JsonHandle text_document(char fill, std::size_t length = 20000) {
    JsonHandle object = make_empty_object();
    set_string_field(object, "text", std::string(length, fill));
    return object;
}

}  // namespace

TEST(JsonGetters, FallBackToDefaults) {
    const JsonHandle object(json_loads(R"({"s": "text", "n": null, "u32": 4294967294, "max32": 4294967295,
        "neg": -1, "big": 9223372036854775807, "real": 5.0, "t": true, "one": 1})", 0, nullptr));
    const std::string fallback = "fallback";
    EXPECT_STREQ("text", get_string_field(object, "s", fallback));
    EXPECT_EQ(fallback.c_str(), get_string_field(object, "n", fallback));  // the default's own text
    EXPECT_EQ(4294967294u, get_uint32_field(object, "u32", 7));
    EXPECT_EQ(7u, get_uint32_field(object, "max32", 7));
    EXPECT_EQ(7u, get_uint32_field(object, "neg", 7));
    EXPECT_EQ(9223372036854775807ull, get_uint64_field(object, "big", 7));
    EXPECT_EQ(7u, get_uint64_field(object, "neg", 7));
    EXPECT_EQ(7u, get_uint64_field(object, "real", 7));
    EXPECT_TRUE(get_bool_field(object, "t", false));
    EXPECT_FALSE(get_bool_field(object, "one", false));
}

TEST(JsonSetters, ReplaceMembersAndRejectInvalidUtf8) {
    const JsonHandle object = make_empty_object();
    set_string_field(object, "a", "one");
    set_string_field(object, "a", "two");
    set_integer_field(object, "b", 18446744073709551615ull);  // the bits pass unchanged
    EXPECT_EQ(-1, json_integer_value(json_object_get(object.get(), "b")));
    EXPECT_EQ("Cannot create JSON string, field: [a], value: [bad\xFF]",
              failure_of([&] { set_string_field(object, "a", "bad\xFF"); }));
    EXPECT_EQ("Cannot set JSON integer, field: [k\xFF], value: [5]",
              failure_of([&] { set_integer_field(object, "k\xFF", 5); }));
    EXPECT_STREQ("two", get_string_field(object, "a", ""));
    EXPECT_EQ(2u, json_object_size(object.get()));
}

TEST(LoadJson, EveryDocumentPassesTheHookAndMustBeAnObject) {
    TemporaryFolder folder;
    const std::string path = folder.path("doc.json");
    write_raw(path, "[]");
    support_test::HookState& hook = support_test::hook_state();
    hook = {};
    EXPECT_EQ("Invalid 'non-object' JSON specified", failure_of([&] { load_json_from_file(path, 100); }));
    EXPECT_EQ(1, hook.calls);
    EXPECT_EQ(JSON_ARRAY, hook.last_type);
    // A hook that turns arrays into objects, as the checker's does.
    hook.replacement = [](json_t* value) {
        json_decref(value);
        return json_pack("{s:b}", "converted", 1);
    };
    EXPECT_TRUE(get_bool_field(load_json_from_file(path, 100), "converted", false));
    hook = {};
}

TEST(LoadJson, DocumentsAndTheirFailures) {
    TemporaryFolder folder;
    const std::string path = folder.path("doc.json");
    const auto load = [&](const std::string& content, uint32_t limit) {
        write_raw(path, content);
        return failure_of([&] { load_json_from_file(path, limit); });
    };
    EXPECT_EQ("", load("{\"a\": 1} trailing words", 100));
    EXPECT_EQ("Invalid 'non-object' JSON specified", load("\"text\"", 100));
    EXPECT_THAT(load("{\"a\": 1, \"a\": 2}", 100),
                AllOf(StartsWith("Error parsing JSON: text: ["), HasSubstr("duplicate"), EndsWith("callback error: []")));
    EXPECT_THAT(load("", 100), AllOf(StartsWith("Error parsing JSON: text: ["), HasSubstr("] line: [1] column: ["),
                                     HasSubstr("] position: ["), EndsWith("], callback error: []")));
    // The limit counts bytes as the text stream delivers them: each CR LF is one byte.
    const std::string document = "{\r\n\"a\": 1\r\n}";  // 10 bytes delivered, 12 on disk
    EXPECT_EQ("", load(document, 10));
    EXPECT_THAT(load(document, 9),
                EndsWith("], callback error: [Read limit exceeded: [9], filepath: [" + path + "]]"));
}

TEST(LoadJson, FailuresOfPrivateDocumentsQuoteNothing) {
    TemporaryFolder folder;
    const std::string path = folder.path("config.json");
    const auto load = [&](const std::string& content, uint32_t limit) {
        write_raw(path, content);
        return failure_of([&] { load_json_from_file(path, limit, ParseFailureText::position_only); });
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"{\n\"password\": \"Tr0ub4dor&3\n\"}", "kind: [invalid syntax] line: [2] column: ["},
        {"{\"a\": \"Tr0ub4dor&3\", \"a\": 2}", "kind: [duplicate object key] line: [1] column: ["},
        {"{\"a\": \"Tr0ub4dor&3", "kind: [unexpected end of input] line: [1] column: ["},
        {"{\"a\": 184467440737095516160}", "kind: [number out of range] line: [1] column: ["},
        {"{\"a\": \"Tr0ub4dor&3\xff\"}", "kind: [invalid UTF-8] line: [1] column: ["},
    };
    for (const auto& [content, failure] : cases) {
        const std::string text = load(content, 100);
        EXPECT_EQ(text.find("Tr0ub4dor"), std::string::npos) << text;
        EXPECT_THAT(text, AllOf(StartsWith("Error parsing JSON: " + failure), EndsWith("callback error: []")));
    }
    EXPECT_THAT(load("{\"a\": \"" + std::string(200, 'x') + "\"}", 100),
                EndsWith("], callback error: [Read limit exceeded: [100], filepath: [" + path + "]]"));
}

TEST(DumpJson, WritesTheExactText) {
    TemporaryFolder folder;
    const std::string path = folder.path("out.json");
    dump_json_to_file(make_empty_object(), path);
    EXPECT_EQ("{}", read_raw(path));
    const JsonHandle object = make_empty_object();
    set_string_field(object, "z", "\xC3\xA4/\"\n");
    set_integer_field(object, "a", 12);
    json_object_set_new(object.get(), "o", json_pack("{s:s}", "k", "v"));
    dump_json_to_file(object, path);
    EXPECT_EQ("{\r\n    \"z\": \"\xC3\xA4/\\\"\\n\",\r\n    \"a\": 12,\r\n    \"o\": {\r\n        \"k\": \"v\"\r\n    }\r\n}",
              read_raw(path));
    EXPECT_EQ(std::vector<std::string>{"out.json"}, folder.entries());
}

TEST(DumpJson, FailuresLeaveTheOldFileAndNoTemporaryFile) {
    TemporaryFolder folder;
    const std::string path = folder.path("out.json");
    const JsonHandle object = text_document('x');
    const std::string missing = folder.path("missing/out.json");
    EXPECT_EQ("Cannot open file: [" + missing +
                  "], with mode: [w], error: [code: [2], message: [No such file or directory]]",
              failure_of([&] { dump_json_to_file(object, missing); }));
    ASSERT_EQ(0, ::mkdir(folder.path("dir.json").c_str(), 0777));
    EXPECT_THAT(failure_of([&] { dump_json_to_file(object, folder.path("dir.json")); }),
                StartsWith("Error dumping JSON: [Cannot replace file: [" + folder.path("dir.json") + "], error: [code: [21]"));
    write_raw(path, "old");
    // A full disk: a small document fails only when the stream is closed, a large one while writing.
    EXPECT_EQ("Error dumping JSON: ['close' error: [File too large], filepath: [" + path + "]]",
              support_test::run_with_file_size_limit(10, [&] { dump_json_to_file(text_document('s', 100), path); }));
    EXPECT_EQ("Error dumping JSON: ['write' error: [File too large], filepath: [" + path + "]]",
              support_test::run_with_file_size_limit(10, [&] { dump_json_to_file(object, path); }));
    EXPECT_EQ("old", read_raw(path));
    EXPECT_EQ((std::vector<std::string>{"dir.json", "out.json"}), folder.entries());
}

TEST(DumpJson, ConcurrentWritersNeverLeaveAMixedFile) {
    TemporaryFolder folder;
    const std::string path = folder.path("shared.json");
    const pid_t other = ::fork();
    if (other == 0) {
        try {
            const JsonHandle object = text_document('a');
            for (int round = 0; round < 30; ++round) {
                dump_json_to_file(object, path);
            }
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    // Meanwhile this process writes its own document and reads back whatever is there.
    const JsonHandle object = text_document('b');
    for (int round = 0; round < 30; ++round) {
        dump_json_to_file(object, path);
        const std::string text = get_string_field(load_json_from_file(path, 100000), "text", "");
        EXPECT_TRUE(text == std::string(20000, 'a') || text == std::string(20000, 'b'));
    }
    int status = 0;
    ::waitpid(other, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(std::vector<std::string>{"shared.json"}, folder.entries());
}

namespace {

// Sets the last-write time of path to seconds_ago in the past.
void age_file(const std::string& path, int seconds_ago) {
    const timespec when{::time(nullptr) - seconds_ago, 0};
    const timespec times[2] = {when, when};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, path.c_str(), times, 0));
}

}  // namespace

TEST(DumpJson, RemovesOnlyItsOwnAbandonedTemporaryFiles) {
    TemporaryFolder folder;
    const std::string path = folder.path("out.json");
    const std::string hex = "0123456789abcdef";
    const std::vector<std::string> abandoned = {"out.json.41.1." + hex + ".tmp", "out.json.7.12." + hex + ".tmp"};
    // Other files, and fresh temporary files of a writer that may still be running, stay.
    const std::vector<std::string> kept = {
        "out.json.42.1." + hex + ".tmp.bak", "other.json.41.1." + hex + ".tmp", "out.json.41.1.0123.tmp",
        "out.json.x.1." + hex + ".tmp",      "out.json.41.1.0123456789ABCDEF.tmp", "out.json..1." + hex + ".tmp",
        "xout.json.41.1." + hex + ".tmp",    "out.json.tmp"};
    for (const std::string& name : abandoned) {
        write_raw(folder.path(name), "{");
        age_file(folder.path(name), 601);
    }
    for (const std::string& name : kept) {
        write_raw(folder.path(name), "{");
        age_file(folder.path(name), 3600);
    }
    const std::string fresh = "out.json.43.1." + hex + ".tmp";
    write_raw(folder.path(fresh), "{");
    age_file(folder.path(fresh), 30);
    const std::string old_folder = "out.json.44.1." + hex + ".tmp";
    ASSERT_EQ(0, ::mkdir(folder.path(old_folder).c_str(), 0777));

    dump_json_to_file(make_empty_object(), path);
    std::vector<std::string> expected = kept;
    expected.insert(expected.end(), {fresh, old_folder, "out.json"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, folder.entries());
    EXPECT_EQ("{}", read_raw(path));

    // Age 0 takes the fresh one too; a folder that cannot be read is passed over.
    remove_temporary_files(path, 0);
    expected.erase(std::find(expected.begin(), expected.end(), fresh));
    EXPECT_EQ(expected, folder.entries());
    remove_temporary_files("no-such-folder/out.json", 0);
}
