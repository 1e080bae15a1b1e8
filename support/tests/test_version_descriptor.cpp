// Tests of the version descriptor's JSON form and of loading version.json.
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/checker_exception.hpp"
#include "support/version_descriptor.hpp"
#include "test_files.hpp"

using namespace checker;
using support_test::read_raw;
using support_test::TemporaryFolder;
using support_test::write_raw;

namespace {

VersionDescriptor sample() {
    VersionDescriptor descriptor;
    descriptor.package_name = "OpenJDK 8";
    descriptor.package_description = "Runtime";
    descriptor.os_name = "windows";
    descriptor.os_arch = "x86_64";
    descriptor.version_string = "1.8.0.212-1.b04";
    descriptor.version_number = 10821201004;
    descriptor.ui_balloon_text = "OpenJDK version 1.8.0.212-1.b04 is available for download";
    descriptor.ui_update_header = "Neue Version verf\xC3\xBC" "gbar \xE2\x82\xAC";
    descriptor.ui_update_text = "See https://example.invalid/download";
    return descriptor;
}

VersionDescriptor load_text(const TemporaryFolder& folder, const std::string& text) {
    write_raw(folder.path("version.json"), text);
    return load_local_version(32768, folder.path("version.json"));
}

}  // namespace

TEST(VersionDescriptor, FileRoundTripHasTheFixedLayout) {
    TemporaryFolder folder;
    const std::string path = folder.path("version.json");
    dump_json_to_file(descriptor_to_json(sample()), path);
    EXPECT_EQ(
        "{\r\n"
        "    \"package_name\": \"OpenJDK 8\",\r\n"
        "    \"package_description\": \"Runtime\",\r\n"
        "    \"os_name\": \"windows\",\r\n"
        "    \"os_arch\": \"x86_64\",\r\n"
        "    \"version_string\": \"1.8.0.212-1.b04\",\r\n"
        "    \"version_number\": 10821201004,\r\n"
        "    \"ui_balloon_text\": \"OpenJDK version 1.8.0.212-1.b04 is available for download\",\r\n"
        "    \"ui_update_header\": \"Neue Version verf\xC3\xBC" "gbar \xE2\x82\xAC\",\r\n"
        "    \"ui_update_text\": \"See https://example.invalid/download\"\r\n"
        "}",
        read_raw(path));
    EXPECT_TRUE(sample() == load_local_version(32768, path));
}

TEST(VersionDescriptor, MissingOrMistypedMembersGiveEmptyValues) {
    TemporaryFolder folder;
    EXPECT_TRUE(VersionDescriptor() == load_text(folder, "{}"));
    EXPECT_TRUE(VersionDescriptor() ==
                load_text(folder, R"({"package_name": null, "os_name": 5, "os_arch": [], "version_string": {},
                                     "version_number": "12", "ui_balloon_text": true})"));
    for (const char* number : {"-1", "5.0", "\"12\"", "null"}) {
        EXPECT_EQ(0u, load_text(folder, std::string("{\"version_number\": ") + number + "}").version_number) << number;
    }
    EXPECT_EQ(9223372036854775807ull, load_text(folder, R"({"version_number": 9223372036854775807})").version_number);
    const VersionDescriptor partial = load_text(folder, R"({"package_name": null, "os_name": "linux", "extra": 1})");
    EXPECT_EQ("", partial.package_name);
    EXPECT_EQ("linux", partial.os_name);
}

TEST(VersionDescriptor, NoFileOrADirectoryGivesTheEmptyDescriptor) {
    TemporaryFolder folder;
    EXPECT_TRUE(VersionDescriptor() == load_local_version(32768, folder.path("version.json")));
    ASSERT_EQ(0, ::mkdir(folder.path("version.json").c_str(), 0777));
    EXPECT_TRUE(VersionDescriptor() == load_local_version(32768, folder.path("version.json")));
}

TEST(VersionDescriptor, ReadLimitAndParseFailuresPropagate) {
    TemporaryFolder folder;
    const std::string path = folder.path("version.json");
    write_raw(path, "{\r\n\"os_name\": \"x\"\r\n}");  // 18 bytes as the stream delivers them
    EXPECT_EQ("x", load_local_version(18, path).os_name);
    EXPECT_THROW(load_local_version(17, path), CheckerException);
    write_raw(path, R"({"version_number": 9223372036854775808})");
    EXPECT_THROW(load_local_version(32768, path), CheckerException);
    write_raw(path, R"({"a": 1, "a": 1})");
    EXPECT_THROW(load_local_version(32768, path), CheckerException);
}
