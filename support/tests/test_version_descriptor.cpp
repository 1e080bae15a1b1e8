// Tests of the version descriptor's JSON form and of loading version.json.
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/version_descriptor.hpp"
#include "test_helpers.hpp"

using namespace checker;
using support_test::failure_of;
using support_test::TemporaryFolder;

namespace {

VersionDescriptor load_text(const TemporaryFolder& folder, const std::string& text, uint32_t limit = 32768) {
    support_test::write_raw(folder.path("version.json"), text);
    return load_local_version(limit, folder.path("version.json"));
}

}  // namespace

TEST(VersionDescriptor, FileRoundTripHasTheFixedLayout) {
    TemporaryFolder folder;
    const VersionDescriptor descriptor{"OpenJDK 8", "Runtime", "windows", "x86_64", "1.8.0.212-1.b04", 10821201004,
                                       "Balloon", "Neue Version verf\xC3\xBC" "gbar", "Text"};
    dump_json_to_file(descriptor_to_json(descriptor), folder.path("version.json"));
    EXPECT_EQ(
        "{\r\n    \"package_name\": \"OpenJDK 8\",\r\n    \"package_description\": \"Runtime\",\r\n"
        "    \"os_name\": \"windows\",\r\n    \"os_arch\": \"x86_64\",\r\n"
        "    \"version_string\": \"1.8.0.212-1.b04\",\r\n    \"version_number\": 10821201004,\r\n"
        "    \"ui_balloon_text\": \"Balloon\",\r\n    \"ui_update_header\": \"Neue Version verf\xC3\xBC" "gbar\",\r\n"
        "    \"ui_update_text\": \"Text\"\r\n}",
        support_test::read_raw(folder.path("version.json")));
    EXPECT_TRUE(descriptor == load_local_version(32768, folder.path("version.json")));
}

TEST(VersionDescriptor, MissingOrMistypedMembersGiveEmptyValues) {
    TemporaryFolder folder;
    EXPECT_TRUE(VersionDescriptor() == load_text(folder, "{}"));
    EXPECT_TRUE(VersionDescriptor() == load_text(folder, R"({"package_name": null, "os_name": 5, "os_arch": [],
                                                           "version_string": {}, "ui_balloon_text": true})"));
    for (const char* number : {"-1", "5.0", "\"12\""}) {
        EXPECT_EQ(0u, load_text(folder, std::string("{\"version_number\": ") + number + "}").version_number);
    }
    EXPECT_EQ(9223372036854775807ull, load_text(folder, R"({"version_number": 9223372036854775807})").version_number);
    EXPECT_EQ("linux", load_text(folder, R"({"package_name": null, "os_name": "linux", "extra": 1})").os_name);
    EXPECT_NE("", failure_of([&] { load_text(folder, R"({"version_number": 9223372036854775808})"); }));
}

TEST(VersionDescriptor, NoFileOrADirectoryGivesTheEmptyDescriptor) {
    TemporaryFolder folder;
    EXPECT_TRUE(VersionDescriptor() == load_local_version(32768, folder.path("version.json")));
    ASSERT_EQ(0, ::mkdir(folder.path("version.json").c_str(), 0777));
    EXPECT_TRUE(VersionDescriptor() == load_local_version(32768, folder.path("version.json")));
}

TEST(VersionDescriptor, OnlyWhatBothProgramsCanReadAndShowIsStorable) {
    TemporaryFolder folder;
    VersionDescriptor descriptor{"p", "", "windows", "x86_64", "1.8.0.212-1.b04", 10821201004, "", "", ""};
    // Grow the description until the stored form is exactly the limit: it is stored and read back.
    const uint32_t limit = 600;
    descriptor.package_description.assign(limit, 'x');
    const std::size_t overshoot =
        json_dumpb(descriptor_to_json(descriptor).get(), nullptr, 0, json_dump_flags) - limit;
    descriptor.package_description.resize(limit - overshoot);
    dump_json_to_file(storable_form(descriptor, limit), folder.path("version.json"));
    EXPECT_TRUE(descriptor == load_local_version(limit, folder.path("version.json")));

    descriptor.package_description += "x";
    EXPECT_EQ("Version descriptor too large to store, size: [601], limit: [600]",
              failure_of([&] { storable_form(descriptor, limit); }));
    dump_json_to_file(descriptor_to_json(descriptor), folder.path("too-large.json"));
    EXPECT_NE("", failure_of([&] { load_local_version(limit, folder.path("too-large.json")); }))
        << "the reader refuses what the check refuses";

    descriptor.package_description.assign(40000, 'x');
    EXPECT_NE(std::string::npos, failure_of([&] { storable_form(descriptor, 1000000); }).find("limit: [32768]"))
        << "the notifier's own limit applies too";

    descriptor.package_description.clear();
    descriptor.ui_balloon_text = std::string(253, 'a') + "\xF0\x9F\x94\x94";  // U+1F514 takes two units
    EXPECT_EQ("", failure_of([&] { storable_form(descriptor, limit); }));
    descriptor.ui_balloon_text += "b";
    EXPECT_EQ("'ui_balloon_text' too long to show, UTF-16 units: [256], limit: [255]",
              failure_of([&] { storable_form(descriptor, limit); }));
}
