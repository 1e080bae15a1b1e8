// The version carried in an artifact's file name, and the texts and number made from it.
#include "checker/artifact_version.hpp"

#include "checker/text_tokens.hpp"
#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"
#include "support/json_helpers.hpp"
#include "support/text_conversion.hpp"

namespace checker {
namespace {

void require_version_shape(bool holds) {
    if (!holds) {
        throw CheckerException("Cannot extract version from DM response");
    }
}

// Artifact names pad their numbers with zeros ("0212", "b09"); they are decimal all the same.
uint32_t parse_decimal_field(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        throw CheckerException("Cannot parse uint32_t from string: [" + text + "]");
    }
    const std::string::size_type first_digit = text.find_first_not_of('0');
    return parse_uint32(first_digit == std::string::npos ? "0" : text.substr(first_digit));
}

}  // namespace

ArtifactVersion parse_artifact_url(const json_t* featured_artifact) {
    const std::string url = get_string_field(featured_artifact, "url", std::string());
    require_version_shape(!url.empty());
    require_version_shape(ends_with(url, ".zip"));
    const std::vector<std::string> segments = split(url, '/');
    require_version_shape(segments.size() >= 3);
    const std::string& name = segments.back();
    require_version_shape(starts_with(name, "java-") && ends_with(name, ".zip"));
    const std::vector<std::string> parts = split(name, '-');
    require_version_shape(parts.size() == 5);
    const std::vector<std::string> version_tokens = split(parts[3], '.');
    const std::vector<std::string> release_tokens = split(parts[4], '.');
    require_version_shape(version_tokens.size() >= 3 && release_tokens.size() >= 5);

    ArtifactVersion version;
    version.major = major_version(version_tokens);
    version.update = parse_decimal_field(version_tokens.back());
    version.build = build_number(release_tokens);
    version.release = parse_decimal_field(release_tokens.front());
    version.arch = release_tokens[release_tokens.size() - 2];
    return version;
}

uint32_t major_version(const std::vector<std::string>& version_tokens) {
    const uint32_t first = parse_decimal_field(version_tokens.at(0));
    return first != 1 ? first : parse_decimal_field(version_tokens.at(1));
}

uint32_t build_number(const std::vector<std::string>& release_tokens) {
    const std::string& token = release_tokens.at(1);
    if (token.size() < 2) {
        throw CheckerException("Cannot extract 'build' from DM response");
    }
    // The letter goes; the digits after it are the build ("b04" and "b4" are both 4).
    return parse_decimal_field(token.substr(1));
}

std::string format_version_string(const ArtifactVersion& version) {
    return "1." + to_string(version.major) + ".0." + to_string(version.update) + "-" +
           to_string(version.release) + ".b" + pad_left(to_string(version.build), 2, '0');
}

namespace {

void require_width(const char* field, uint32_t value, uint32_t limit) {
    if (value > limit) {
        throw CheckerException("'" + std::string(field) + "' too wide for the version number: [" + to_string(value) +
                               "], limit: [" + to_string(limit) + "]");
    }
}

}  // namespace

void require_artifact_version_number(uint64_t version_number) {
    if (version_number > largest_version_number) {
        throw CheckerException("'version_number' larger than any artifact name gives: [" + to_string(version_number) +
                               "], limit: [" + to_string(largest_version_number) + "]");
    }
}

uint64_t compute_version_number(const ArtifactVersion& version) {
    require_width("major", version.major, 99);
    require_width("update", version.update, 999);
    require_width("release", version.release, 99);
    require_width("build", version.build, 999);
    return parse_uint64("1" + pad_left(to_string(version.major), 2, '0') +
                        pad_left(to_string(version.update), 3, '0') +
                        pad_left(to_string(version.release), 2, '0') +
                        pad_left(to_string(version.build), 3, '0'));
}

}  // namespace checker
