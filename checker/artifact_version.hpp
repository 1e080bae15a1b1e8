// The version carried in an artifact's file name, and the texts and number made from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <jansson.h>

namespace checker {

struct ArtifactVersion {
    uint32_t major = 0;
    uint32_t update = 0;
    uint32_t build = 0;
    uint32_t release = 0;
    std::string arch;
};

// Reads the "url" member of the featured artifact, e.g. .../java-1.8.0-openjdk-1.8.0.212-1.b04.quorvane.windows.x86_64.zip
ArtifactVersion parse_artifact_url(const json_t* featured_artifact);

// 1.8.0.212 gives 8 (a leading 1 defers to the second token); 9.0.4 gives 9.
uint32_t major_version(const std::vector<std::string>& version_tokens);
// From the second token: b04 gives 4, b12 gives 12.
uint32_t build_number(const std::vector<std::string>& release_tokens);

// "1.8.0.212-1.b04"
std::string format_version_string(const ArtifactVersion& version);
// 1 MM UUU RR BBB as a number, e.g. 10821201004. A field wider than its place would break the
// order of the numbers: it is refused, naming the field.
uint64_t compute_version_number(const ArtifactVersion& version);

// The largest number of that layout, 1 99 999 99 999.
constexpr uint64_t largest_version_number = 19999999999ULL;
// Throws, naming the number, for a version_number that no artifact name gives (a document that
// is already a descriptor may carry any number).
void require_artifact_version_number(uint64_t version_number);

}  // namespace checker
