// The package this release belongs to, as descriptors name it; a descriptor for another is refused.
#pragma once

#include <string>

#include "support/version_descriptor.hpp"

namespace checker {

struct ReleasePackage {
    std::string package_name;  // "java-1.8.0-openjdk"
    std::string os_arch;       // "x86_64"
};

// This build's package, from release.env: what the load hook makes of the shipped artifact's name.
ReleasePackage this_release_package();

// This build's vendor word, from release.env (the notifier's string table has the same): the one
// whose policy key the programs read, whatever vendor folder a configuration names.
std::string this_release_vendor();

// Throws, naming both, when the descriptor's package name or architecture is not the release's:
// a genuine document of another product would otherwise announce the wrong package and, with its
// higher number, silence this one's notices for good.
void require_release_package(const VersionDescriptor& descriptor, const ReleasePackage& release);

}  // namespace checker
