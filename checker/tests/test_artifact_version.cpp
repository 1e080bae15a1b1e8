// DM response conversion: worked examples and rejected shapes; descriptors of another package.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checker/artifact_version.hpp"
#include "checker/dm_response.hpp"
#include "checker/release_package.hpp"
#include "support/json_helpers.hpp"
#include "support/tests/failure_of.hpp"
#include "support/version_descriptor.hpp"

namespace checker {
namespace {

std::string dm_with_url(const std::string& url) {
    return R"([{"featuredArtifact": {"url": ")" + url + R"("}}, {"ignored": true}])";
}

std::string dm_with_file(const std::string& file_name) {
    return dm_with_url("https://downloads.example.invalid/openjdk/" + file_name);
}

// Parses text and passes it through the load hook like every parsed document.
JsonHandle load_text(const std::string& text) {
    json_error_t error{};
    json_t* parsed = json_loads(text.c_str(), JSON_DECODE_ANY, &error);
    EXPECT_NE(parsed, nullptr) << error.text;
    return adopt_json(parsed);
}

std::string conversion_failure(const std::string& text) {
    const std::string failure = support_test::failure_of([&] { load_text(text); });
    return failure.empty() ? "no failure" : failure;
}

struct WorkedExample {
    std::string file_name;
    uint32_t major, update, release, build;
    std::string version_string;
    uint64_t version_number;
};

TEST(DmResponse, WorkedExamplesGiveVersionStringAndNumber) {
    const std::vector<WorkedExample> examples = {
        {"java-1.8.0-openjdk-1.8.0.212-1.b04.quorvane.windows.x86_64.zip", 8, 212, 1, 4, "1.8.0.212-1.b04", 10821201004},
        {"java-1.8.0-openjdk-1.8.0.191-1.b12.quorvane.windows.x86_64.zip", 8, 191, 1, 12, "1.8.0.191-1.b12", 10819101012},
        {"java-1.8.0-openjdk-1.8.0.65-3.b17.quorvane.windows.x86_64.zip", 8, 65, 3, 17, "1.8.0.65-3.b17", 10806503017},
        {"java-99-openjdk-99.0.999-99.b999.windows.x86_64.zip", 99, 999, 99, 999, "1.99.0.999-99.b999",
         largest_version_number},
        // Five release tokens are enough; a major version other than 1 is taken as it is.
        {"java-9-openjdk-9.0.4-1.b11.windows.x86_64.zip", 9, 4, 1, 11, "1.9.0.4-1.b11", 10900401011},
    };
    for (const WorkedExample& example : examples) {
        SCOPED_TRACE(example.file_name);
        json_error_t error{};
        const JsonHandle raw(json_loads(dm_with_file(example.file_name).c_str(), 0, &error));
        const ArtifactVersion version = parse_artifact_url(extract_featured_artifact(raw.get()));
        EXPECT_EQ(version.major, example.major);
        EXPECT_EQ(version.update, example.update);
        EXPECT_EQ(version.release, example.release);
        EXPECT_EQ(version.build, example.build);
        const VersionDescriptor descriptor = descriptor_from_json(load_text(dm_with_file(example.file_name)));
        EXPECT_EQ(descriptor.version_string, example.version_string);
        EXPECT_EQ(descriptor.version_number, example.version_number);
        EXPECT_EQ(descriptor.os_arch, "x86_64");
    }
}

TEST(DmResponse, FirstExampleFillsEveryMember) {
    const JsonHandle converted = load_text(dm_with_file("java-1.8.0-openjdk-1.8.0.212-1.b04.quorvane.windows.x86_64.zip"));
    const VersionDescriptor descriptor = descriptor_from_json(converted);
    EXPECT_EQ(descriptor.package_name, "java-1.8.0-openjdk");
    EXPECT_EQ(descriptor.package_description, "OpenJDK runtime");
    EXPECT_EQ(descriptor.os_name, "Windows");
    EXPECT_EQ(descriptor.ui_balloon_text, "OpenJDK version 1.8.0.212-1.b04 is available for download");
    EXPECT_EQ(descriptor.ui_update_header, descriptor.ui_balloon_text);
    EXPECT_EQ(descriptor.ui_update_text.rfind("This version contains a number of security fixes.\n\nTo proceed", 0), 0U);
    EXPECT_EQ(json_object_size(converted.get()), 9U);
}

TEST(DmResponse, NonArraysPassUnchanged) {
    EXPECT_EQ(loaded_json_hook(nullptr), nullptr);
    const JsonHandle object = make_empty_object();
    EXPECT_EQ(loaded_json_hook(object.get()), object.get());
    const JsonHandle text(json_string("text"));
    EXPECT_EQ(loaded_json_hook(text.get()), text.get());
    EXPECT_EQ(conversion_failure("42"), "Invalid 'non-object' JSON specified");
}

TEST(DmResponse, RejectedShapesNameTheirFault) {
    const std::string no_artifact = "Cannot extract 'featuredArtifact' from DM response";
    const std::string no_version = "Cannot extract version from DM response";
    const std::string good_tail = "-openjdk-1.8.0.212-1.b04.quorvane.windows.x86_64.zip";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"[]", no_artifact},
        {"[1]", no_artifact},
        {R"([{"name": "x"}])", no_artifact},
        {R"([{"featuredArtifact": "x"}])", no_artifact},
        {R"([{}, {"featuredArtifact": {"url": "https://h/p/java-1.8.0)" + good_tail + R"("}}])", no_artifact},
        {R"([{"featuredArtifact": {}}])", no_version},
        {R"([{"featuredArtifact": {"url": 5}}])", no_version},
        {dm_with_url(""), no_version},
        {dm_with_url("https://h/java-1.8.0-openjdk-1.8.0.212-1.b04.quorvane.windows.x86_64.ZIP"), no_version},
        {dm_with_url("https://h/java-1.8.0" + good_tail + "?x=1"), no_version},
        {dm_with_url("java-1.8.0" + good_tail), no_version},
        {dm_with_url("https:/java-1.8.0" + good_tail), no_version},
        {dm_with_url("https:////java-1.8.0" + good_tail), no_version},
        {dm_with_file("jdk-1.8.0" + good_tail), no_version},
        {dm_with_file("java-1.8.0-openjdk-1.8.0.212-1.b04.quorvane.windows.x86-64.zip"), no_version},
        {dm_with_file("java-1.8.0-openjdk-8.212-1.b04.quorvane.windows.x86_64.zip"), no_version},
        {dm_with_file("java-1.8.0-openjdk-1.8.0.212-1.b04.x86_64.zip"), no_version},
        {dm_with_file("java-1.8.0-openjdk-1.8.0.212-1.b.windows.x86_64.zip"), "Cannot extract 'build' from DM response"},
        {dm_with_file("java-1.8.0-openjdk-1.8.0.212-1.quorvane.windows.x86_64.zip"),
         "Cannot parse uint32_t from string: [uorvane]"},
        {dm_with_file("java-1.8.0-openjdk-1.8.0.99999999999-1.b04.windows.x86_64.zip"),
         "Value overflow for uint32_t from string: [99999999999]"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(conversion_failure(text), message) << text;
    }
}

TEST(DmResponse, FieldsWiderThanTheirPlaceAreRefusedByName) {
    // Written whole, 1.8.0.1234-1.b04 would rank above 1.9.0.4-1.b11.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"java-100-openjdk-100.0.4-1.b11.windows.x86_64.zip", "'major' too wide for the version number: [100], limit: [99]"},
        {"java-1.8.0-openjdk-1.8.0.1234-1.b04.windows.x86_64.zip",
         "'update' too wide for the version number: [1234], limit: [999]"},
        {"java-1.8.0-openjdk-1.8.0.212-100.b04.windows.x86_64.zip",
         "'release' too wide for the version number: [100], limit: [99]"},
        {"java-1.8.0-openjdk-1.8.0.212-1.b1000.windows.x86_64.zip",
         "'build' too wide for the version number: [1000], limit: [999]"},
    };
    for (const auto& [file_name, message] : cases) {
        EXPECT_EQ(conversion_failure(dm_with_file(file_name)), message) << file_name;
    }
    for (const uint64_t number : {uint64_t{0}, largest_version_number}) {
        EXPECT_EQ(support_test::failure_of([&] { require_artifact_version_number(number); }), "") << number;
    }
    for (const uint64_t number : {largest_version_number + 1, uint64_t{9223372036854775807ULL}}) {
        EXPECT_EQ(support_test::failure_of([&] { require_artifact_version_number(number); }),
                  "'version_number' larger than any artifact name gives: [" + std::to_string(number) +
                      "], limit: [19999999999]");
    }
}

TEST(DmResponse, TheReleasesShippedNumberIsThatOfItsPackage) {
    // Otherwise the notifier would compare the checker's numbers with a number of another scheme.
    const JsonHandle shipped = load_text(dm_with_file(std::string(RELEASE_PACKAGE_NAME) + ".zip"));
    const VersionDescriptor descriptor = descriptor_from_json(shipped);
    EXPECT_EQ(descriptor.version_number, RELEASE_SHIPPED_VERSION_NUMBER);
    // The package the checker takes descriptors for is the one its own release's name gives.
    EXPECT_EQ(descriptor.package_name, this_release_package().package_name);
    EXPECT_EQ(descriptor.os_arch, this_release_package().os_arch);
    EXPECT_EQ(support_test::failure_of([&] { require_release_package(descriptor, this_release_package()); }), "");
}

TEST(ReleasePackage, DescriptorsOfAnotherPackageOrArchitectureAreRefused) {
    const ReleasePackage release{"java-1.8.0-openjdk", "x86_64"};
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"java-1.8.0-openjdk-1.8.0.222-1.b10.quorvane.windows.x86_64.zip", ""},
        {"java-17-openjdk-17.0.9-1.b09.quorvane.windows.x86.zip",
         "'package_name' is not this release's: [java-1.17.0-openjdk], expected: [java-1.8.0-openjdk]"},
        {"java-1.8.0-openjdk-1.8.0.222-1.b10.quorvane.windows.x86.zip",
         "'os_arch' is not this release's: [x86], expected: [x86_64]"},
    };
    for (const auto& [file_name, failure] : cases) {
        const VersionDescriptor descriptor = descriptor_from_json(load_text(dm_with_file(file_name)));
        EXPECT_EQ(support_test::failure_of([&] { require_release_package(descriptor, release); }), failure)
            << file_name;
    }
    // A document that is already a descriptor must name both.
    EXPECT_EQ(support_test::failure_of([&] { require_release_package(VersionDescriptor{}, release); }),
              "'package_name' is not this release's: [], expected: [java-1.8.0-openjdk]");
}

TEST(DmResponse, NumbersInTheNameAreDecimalWhateverTheirZeros) {
    EXPECT_EQ(build_number({"1", "b04"}), 4U);
    EXPECT_EQ(build_number({"1", "b4"}), 4U);
    EXPECT_EQ(build_number({"1", "b0010"}), 10U);
    EXPECT_EQ(build_number({"1", "b009"}), 9U);
    EXPECT_EQ(build_number({"1", "b0"}), 0U);
    EXPECT_EQ(major_version({"1", "8", "0"}), 8U);
    EXPECT_EQ(major_version({"11", "0", "2"}), 11U);
    EXPECT_EQ(major_version({"01", "08", "0"}), 8U);

    const JsonHandle padded = load_text(dm_with_file("java-1.8.0-openjdk-1.8.0.0212-01.b009.quorvane.windows.x86_64.zip"));
    EXPECT_EQ(descriptor_from_json(padded).version_string, "1.8.0.212-1.b09");
    EXPECT_EQ(descriptor_from_json(padded).version_number, 10821201009U);
    for (const char* not_decimal : {"0x1f", "+12", " 12", "1e3"}) {
        EXPECT_EQ(conversion_failure(dm_with_file(std::string("java-1.8.0-openjdk-1.8.0.") + not_decimal +
                                                  "-1.b04.quorvane.windows.x86_64.zip")),
                  std::string("Cannot parse uint32_t from string: [") + not_decimal + "]");
    }
}

}  // namespace
}  // namespace checker
