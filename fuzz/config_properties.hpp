// Properties that every configuration record holds, whatever config.json contained.
#pragma once

#include <string>

#include "checker/checker_config.hpp"

namespace fuzz {

// Aborts when a number holds the value no key can give, or a file name was resolved wrongly.
void check_config_properties(const checker::CheckerConfig& config, const std::string& executable_directory);

}  // namespace fuzz
