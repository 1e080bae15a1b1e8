// The version descriptor exchanged through version.json, and its JSON form.
#pragma once

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

// The stored descriptor at path, read with the given byte limit; a missing file (or a
// directory of that name) gives the empty descriptor. The checker passes its
// configured max_json_size_bytes.
VersionDescriptor load_local_version(uint32_t max_json_size_bytes, const std::string& path);

}  // namespace checker
