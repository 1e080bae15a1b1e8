// Per-user and program folders, directory creation, and two small process services.
#pragma once

#include <cstdint>
#include <string>

namespace checker {

// The local application-data folder with "/" separators and one trailing "/".
std::string user_data_dir();
// Creates the last component only; "already exists" counts as success.
void create_directory(const std::string& path);
std::string executable_path();
// The folder part up to and including the last "/" or "\\"; unchanged when none.
std::string parent_directory(const std::string& path);
void sleep_millis(uint32_t millis);
uint32_t current_process_id();

}  // namespace checker
