// POSIX side of the registry values: there is no registry, so no value is ever set.
#include "registry_settings.hpp"

namespace checker {

std::optional<RegistryValue> read_registry_value(RegistryRoot, const std::string&, const std::string&) {
    return std::nullopt;
}

}  // namespace checker
