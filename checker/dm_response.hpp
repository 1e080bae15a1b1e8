// The checker's load hook: a DM response array becomes a version-descriptor object.
#pragma once

#include <jansson.h>

namespace checker {

// The "featuredArtifact" object of element 0 (borrowed); throws when there is none.
const json_t* extract_featured_artifact(const json_t* dm_response);

// loaded_json_hook (declared in support/json_helpers.hpp) is defined in dm_response.cpp:
// arrays are converted, every other value (and null) passes unchanged.

}  // namespace checker
