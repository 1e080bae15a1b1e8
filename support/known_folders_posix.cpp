// POSIX side of the folder seam: XDG data folder, mkdir and /proc/self/exe.
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "known_folders.hpp"
#include "paths.hpp"

namespace checker {
namespace platform {
namespace {

// Creates every missing level of an absolute path, like KF_FLAG_CREATE does for the known folder.
bool make_directories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
        const std::string level = path.substr(0, slash);
        if (!level.empty() && level.back() != '/' && !make_directory(level)) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// An environment variable that holds an absolute path, or the empty text.
std::string absolute_path_variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

}  // namespace

bool local_data_folder(std::string& folder) {
    std::string candidate = absolute_path_variable("XDG_DATA_HOME");
    if (candidate.empty()) {
        const std::string home = absolute_path_variable("HOME");
        if (home.empty()) {
            return false;
        }
        candidate = home + (home.back() == '/' ? "" : "/") + ".local/share";
    }
    if (!make_directories(candidate)) {
        return false;
    }
    folder = candidate;
    return true;
}

bool make_directory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        return false;
    }
    // A file of that name is no folder: nothing could be created below it.
    struct stat entry {};
    if (::stat(path.c_str(), &entry) == 0 && S_ISDIR(entry.st_mode)) {
        return true;
    }
    errno = ENOTDIR;
    return false;
}

bool program_file_path(std::string& path) {
    // readlink does not say whether the text was cut, so grow the buffer until it fits.
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t count = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (count < 0) {
            return false;
        }
        if (static_cast<std::size_t>(count) < buffer.size()) {
            path.assign(buffer.data(), static_cast<std::size_t>(count));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace platform

}  // namespace checker
