// The checker's run: command line, configuration, then the version check or the delete mode.
#pragma once

#include <optional>
#include <string>

#include "checker/checker_config.hpp"
#include "support/tracer.hpp"

namespace checker {

// The whole program: returns the exit status (0 or 1).
int run_checker(int argc, const char** argv);

// The --config value unchanged, else the executable directory followed by "config.json".
std::string config_file_path(const std::optional<std::string>& config_option, const std::string& executable_directory);

// The path of version.json; creates the vendor, application and update folders first.
std::string version_file_path(const CheckerConfig& config);

// Writes trace.json when tracing is on and announces it; never throws.
void write_trace(const CheckerConfig& config, const Tracer& tracer) noexcept;

}  // namespace checker
