// Tests of the per-user folder, directory creation, the program path and parent_directory.
#include <cstdlib>
#include <string>

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/paths.hpp"
#include "test_helpers.hpp"

using namespace checker;
using support_test::failure_of;
using support_test::TemporaryFolder;

namespace {

// Sets (or, with null, removes) an environment variable for one scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name), had_value_(std::getenv(name) != nullptr) {
        old_value_ = had_value_ ? std::getenv(name) : "";
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedVariable() { had_value_ ? ::setenv(name_, old_value_.c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    bool had_value_;
    std::string old_value_;
};

}  // namespace

TEST(UserDataDir, ComesFromXdgDataHomeOrHomeAndIsCreated) {
    TemporaryFolder folder;
    {
        ScopedVariable data_home("XDG_DATA_HOME", (folder.path("a/b") + "//").c_str());
        EXPECT_EQ(folder.path("a/b") + "/", user_data_dir());
    }
    ScopedVariable data_home("XDG_DATA_HOME", "relative/path");
    ScopedVariable home("HOME", folder.path("home").c_str());
    EXPECT_EQ(folder.path("home/.local/share/"), user_data_dir());
    struct stat status {};
    EXPECT_TRUE(::stat(folder.path("home/.local/share").c_str(), &status) == 0 && S_ISDIR(status.st_mode));
}

TEST(UserDataDir, FailsWithoutAUsableFolder) {
    TemporaryFolder folder;
    ScopedVariable data_home("XDG_DATA_HOME", nullptr);
    {
        ScopedVariable home("HOME", nullptr);
        EXPECT_EQ("Error getting userdata dir", failure_of([] { user_data_dir(); }));
    }
    support_test::write_raw(folder.path("file"), "x");
    ScopedVariable home("HOME", folder.path("file").c_str());
    EXPECT_EQ("Error getting userdata dir", failure_of([] { user_data_dir(); }));
}

TEST(CreateDirectory, ExistingFoldersCountAsSuccessExistingFilesFail) {
    TemporaryFolder folder;
    create_directory(folder.path("new"));
    create_directory(folder.path("new"));
    support_test::write_raw(folder.path("file"), "x");
    EXPECT_EQ("Error getting creating dir, path: [" + folder.path("file") +
                  "], error: [code: [20], message: [Not a directory]]",
              failure_of([&] { create_directory(folder.path("file")); }));
    const std::string orphan = folder.path("missing/child");
    EXPECT_EQ("Error getting creating dir, path: [" + orphan + "], error: [code: [2], message: [No such file or directory]]",
              failure_of([&] { create_directory(orphan); }));
}

TEST(ProgramPaths, ExecutableAndParentDirectory) {
    char resolved[PATH_MAX];
    ASSERT_NE(nullptr, ::realpath("/proc/self/exe", resolved));
    EXPECT_EQ(std::string(resolved), executable_path());
    EXPECT_EQ("C:/Program Files\\", parent_directory("C:/Program Files\\checker.exe"));
    EXPECT_EQ("checker", parent_directory("checker"));
    EXPECT_EQ("", parent_directory(""));
    EXPECT_EQ("/opt/app/", parent_directory("/opt/app/"));
}
