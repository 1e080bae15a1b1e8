// The version descriptor exchanged through version.json, and its JSON form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "json_helpers.hpp"

namespace checker {

struct VersionDescriptor {
    std::string package_name;
    std::string package_description;
    std::string os_name;
    std::string os_arch;
    std::string version_string;
    uint64_t version_number = 0;
    std::string ui_balloon_text;
    std::string ui_update_header;
    std::string ui_update_text;
};

bool operator==(const VersionDescriptor& left, const VersionDescriptor& right);

// Never fails because of the members: absent or mistyped ones give empty text / 0.
VersionDescriptor descriptor_from_json(const JsonHandle& handle);
JsonHandle descriptor_to_json(const VersionDescriptor& descriptor);

// The notifier reads version.json with this byte limit, and its balloon holds at most this many
// UTF-16 units of text (the notification area's own limit, less the terminating zero).
constexpr uint32_t notifier_version_read_limit = 32768;
constexpr std::size_t notifier_balloon_text_units = 255;

// The descriptor's JSON form for version.json. Throws unless both programs can read it back
// (its size as their readers count it, within read_limit and the notifier's limit) and the
// notifier can show it (the balloon text fits).
JsonHandle storable_form(const VersionDescriptor& descriptor, uint32_t read_limit);

// The stored descriptor at path, read with the given byte limit; a missing file (or a
// directory of that name) gives the empty descriptor. The checker passes its
// configured max_json_size_bytes.
VersionDescriptor load_local_version(uint32_t max_json_size_bytes, const std::string& path);

}  // namespace checker
