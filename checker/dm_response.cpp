// The checker's load hook: a DM response array becomes a version-descriptor object.
#include "checker/dm_response.hpp"

#include <string>

#include "checker/artifact_version.hpp"
#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"
#include "support/json_helpers.hpp"

namespace checker {
namespace {

const char* const update_text =
    "This version contains a number of security fixes.\n\n"
    "To proceed with download and installation please follow a link above, download page will be "
    "opened inside your web-browser.\n\n"
    "To change a schedule of this notification please see 'quorvane_jdk_update_checker' and "
    "'quorvane_jdk_update_notifier' tasks in 'Task Scheduler'.\n\n"
    "To disable this notification permanently please select the installed application in "
    "'Programs and Features' with a right-click, choose 'Change' and disable 'Update Notifier' "
    "installation feature.";

}  // namespace

const json_t* extract_featured_artifact(const json_t* dm_response) {
    const json_t* first = json_array_get(dm_response, 0);
    const json_t* artifact = json_is_object(first) ? json_object_get(first, "featuredArtifact") : nullptr;
    if (!json_is_object(artifact)) {
        throw CheckerException("Cannot extract 'featuredArtifact' from DM response");
    }
    return artifact;
}

json_t* loaded_json_hook(json_t* value) {
    if (value == nullptr || !json_is_array(value)) {
        return value;
    }
    const JsonHandle dm_response(value);
    JsonHandle descriptor = make_empty_object();
    const ArtifactVersion version = parse_artifact_url(extract_featured_artifact(dm_response.get()));
    const std::string version_string = format_version_string(version);
    const std::string announcement = "OpenJDK version " + version_string + " is available for download";

    set_string_field(descriptor, "package_name", "java-1." + to_string(version.major) + ".0-openjdk");
    set_string_field(descriptor, "package_description", "OpenJDK runtime");
    set_string_field(descriptor, "os_name", "Windows");
    set_string_field(descriptor, "os_arch", version.arch);
    set_string_field(descriptor, "version_string", version_string);
    set_integer_field(descriptor, "version_number", compute_version_number(version));
    set_string_field(descriptor, "ui_balloon_text", announcement);
    set_string_field(descriptor, "ui_update_header", announcement);
    set_string_field(descriptor, "ui_update_text", update_text);
    // The vendor's steering members ride along for the run; version.json never holds them.
    const json_t* first = json_array_get(dm_response.get(), 0);
    for (const char* member : {"phased_rollout", "withdrawn_version_numbers"}) {
        json_t* value = json_object_get(first, member);
        if (value != nullptr && json_object_set(descriptor.get(), member, value) != 0) {
            throw CheckerException("Cannot set JSON member, field: [" + std::string(member) + "]");
        }
    }
    return descriptor.release();
}

}  // namespace checker
