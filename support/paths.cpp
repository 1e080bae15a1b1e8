// Per-user and program folders, directory creation, and the folder part of a path.
#include "paths.hpp"

#include <algorithm>

#include "checker_exception.hpp"
#include "known_folders.hpp"
#include "system_error.hpp"

namespace checker {

std::string user_data_dir() {
    std::string folder;
    if (!platform::local_data_folder(folder)) {
        throw CheckerException("Error getting userdata dir");
    }
    std::replace(folder.begin(), folder.end(), '\\', '/');
    while (!folder.empty() && folder.back() == '/') {
        folder.pop_back();
    }
    return folder + "/";
}

UpdateFolders update_folders(const std::string& vendor_name, const std::string& application_name) {
    UpdateFolders folders;
    folders.vendor = user_data_dir() + vendor_name;
    folders.application = folders.vendor + "/" + application_name;
    folders.update = folders.application + "/update";
    return folders;
}

void create_directory(const std::string& path) {
    if (!platform::make_directory(path)) {
        const uint32_t code = last_system_error();
        throw CheckerException("Error getting creating dir, path: [" + path + "], error: [" +
                               system_error_message(code) + "]");
    }
}

std::string executable_path() {
    std::string path;
    if (!platform::program_file_path(path)) {
        const uint32_t code = last_system_error();
        throw CheckerException("Error getting current executable dir, error: [" + system_error_message(code) + "]");
    }
    return path;
}

std::string parent_directory(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\");
    if (separator == std::string::npos || separator + 1 == path.size()) {
        return path;
    }
    return path.substr(0, separator + 1);
}

}  // namespace checker
