// Per-user and program folders, and directory creation.
#pragma once

#include <cstdint>
#include <string>

namespace checker {

// The local application-data folder with "/" separators and one trailing "/".
std::string user_data_dir();

// The per-user folders of one installation, each below the one before, without a trailing "/":
// <local app data>/<vendor>, .../<application>, .../update (where version.json lies).
struct UpdateFolders {
    std::string vendor;
    std::string application;
    std::string update;
};
UpdateFolders update_folders(const std::string& vendor_name, const std::string& application_name);
// Creates the last component only; "already exists" counts as success.
void create_directory(const std::string& path);
std::string executable_path();
// The folder part up to and including the last "/" or "\\"; unchanged when none.
std::string parent_directory(const std::string& path);

}  // namespace checker
