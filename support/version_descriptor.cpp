// The version descriptor, its JSON form, and loading the stored descriptor.
#include "version_descriptor.hpp"

#include <algorithm>

#include "checker_exception.hpp"
#include "diagnostic_text.hpp"
#include "file_system.hpp"
#include "text_conversion.hpp"

namespace checker {

bool operator==(const VersionDescriptor& left, const VersionDescriptor& right) {
    return left.package_name == right.package_name && left.package_description == right.package_description &&
           left.os_name == right.os_name && left.os_arch == right.os_arch &&
           left.version_string == right.version_string && left.version_number == right.version_number &&
           left.ui_balloon_text == right.ui_balloon_text && left.ui_update_header == right.ui_update_header &&
           left.ui_update_text == right.ui_update_text;
}

VersionDescriptor descriptor_from_json(const JsonHandle& handle) {
    VersionDescriptor descriptor;
    descriptor.package_name = get_string_field(handle, "package_name", "");
    descriptor.package_description = get_string_field(handle, "package_description", "");
    descriptor.os_name = get_string_field(handle, "os_name", "");
    descriptor.os_arch = get_string_field(handle, "os_arch", "");
    descriptor.version_string = get_string_field(handle, "version_string", "");
    descriptor.version_number = get_uint64_field(handle, "version_number", 0);
    descriptor.ui_balloon_text = get_string_field(handle, "ui_balloon_text", "");
    descriptor.ui_update_header = get_string_field(handle, "ui_update_header", "");
    descriptor.ui_update_text = get_string_field(handle, "ui_update_text", "");
    return descriptor;
}

JsonHandle descriptor_to_json(const VersionDescriptor& descriptor) {
    // Insertion order is the member order of version.json.
    JsonHandle object = make_empty_object();
    set_string_field(object, "package_name", descriptor.package_name);
    set_string_field(object, "package_description", descriptor.package_description);
    set_string_field(object, "os_name", descriptor.os_name);
    set_string_field(object, "os_arch", descriptor.os_arch);
    set_string_field(object, "version_string", descriptor.version_string);
    set_integer_field(object, "version_number", descriptor.version_number);
    set_string_field(object, "ui_balloon_text", descriptor.ui_balloon_text);
    set_string_field(object, "ui_update_header", descriptor.ui_update_header);
    set_string_field(object, "ui_update_text", descriptor.ui_update_text);
    return object;
}

VersionDescriptor load_local_version(uint32_t max_json_size_bytes, const std::string& path) {
    // No stored file is the normal state before the first successful check.
    if (!file_exists(path)) {
        return VersionDescriptor();
    }
    const JsonHandle document = load_json_from_file(path, max_json_size_bytes);
    return descriptor_from_json(document);
}

JsonHandle storable_form(const VersionDescriptor& descriptor, uint32_t read_limit) {
    JsonHandle json = descriptor_to_json(descriptor);
    // The readers count the bytes they are given, line ends as LF: the size jansson writes.
    const std::size_t size = json_dumpb(json.get(), nullptr, 0, json_dump_flags);
    const uint32_t limit = std::min(read_limit, notifier_version_read_limit);
    if (size > limit) {
        throw CheckerException("Version descriptor too large to store, size: [" + to_string(static_cast<uint64_t>(size)) +
                               "], limit: [" + to_string(limit) + "]");
    }
    const std::size_t balloon_units = widen(descriptor.ui_balloon_text).size();
    if (balloon_units > notifier_balloon_text_units) {
        throw CheckerException("'ui_balloon_text' too long to show, UTF-16 units: [" +
                               to_string(static_cast<uint64_t>(balloon_units)) + "], limit: [" +
                               to_string(static_cast<uint64_t>(notifier_balloon_text_units)) + "]");
    }
    return json;
}

}  // namespace checker
