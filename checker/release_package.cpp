// The package this release belongs to, as descriptors name it; a descriptor for another is refused.
#include "checker/release_package.hpp"

#include "checker/release_env.hpp"
#include "support/checker_exception.hpp"

namespace checker {
namespace {

void require_member(const char* member, const std::string& value, const std::string& expected) {
    if (value != expected) {
        throw CheckerException("'" + std::string(member) + "' is not this release's: [" + value + "], expected: [" +
                               expected + "]");
    }
}

}  // namespace

ReleasePackage this_release_package() {
    return {release_env::package_name, release_env::os_arch};
}

std::string this_release_vendor() {
    return release_env::vendor;
}

void require_release_package(const VersionDescriptor& descriptor, const ReleasePackage& release) {
    require_member("package_name", descriptor.package_name, release.package_name);
    require_member("os_arch", descriptor.os_arch, release.os_arch);
}

}  // namespace checker
