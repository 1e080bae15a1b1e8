// Tests of the per-user folder, directory creation, the program path and parent_directory.
#include <cstdlib>
#include <string>

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/checker_exception.hpp"
#include "support/paths.hpp"
#include "test_files.hpp"

using namespace checker;
using support_test::TemporaryFolder;

namespace {

bool is_directory(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Sets an environment variable for one scope and restores it afterwards.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_value_ = old != nullptr;
        old_value_ = had_value_ ? old : "";
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedVariable() { had_value_ ? ::setenv(name_, old_value_.c_str(), 1) : ::unsetenv(name_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    bool had_value_;
    std::string old_value_;
};

}  // namespace

TEST(UserDataDir, UsesAbsoluteXdgDataHomeAndCreatesIt) {
    TemporaryFolder folder;
    ScopedVariable data_home("XDG_DATA_HOME", (folder.path("a/b") + "//").c_str());
    EXPECT_EQ(folder.path("a/b") + "/", user_data_dir());
    EXPECT_TRUE(is_directory(folder.path("a/b")));
}

TEST(UserDataDir, FallsBackToHomeAndFailsWithoutEither) {
    TemporaryFolder folder;
    ScopedVariable data_home("XDG_DATA_HOME", "relative/path");
    {
        ScopedVariable home("HOME", folder.path().c_str());
        EXPECT_EQ(folder.path(".local/share/"), user_data_dir());
    }
    {
        ScopedVariable home("HOME", nullptr);
        EXPECT_THROW(
            try { user_data_dir(); } catch (const CheckerException& failure) {
                EXPECT_STREQ("Error getting userdata dir", failure.what());
                throw;
            },
            CheckerException);
    }
    // A file where the folder should be cannot serve as the folder.
    support_test::write_raw(folder.path("file"), "x");
    ScopedVariable home("HOME", folder.path("file").c_str());
    EXPECT_THROW(user_data_dir(), CheckerException);
}

TEST(CreateDirectory, ExistingEntriesCountAsSuccess) {
    TemporaryFolder folder;
    create_directory(folder.path("new"));
    EXPECT_TRUE(is_directory(folder.path("new")));
    create_directory(folder.path("new"));
    support_test::write_raw(folder.path("file"), "x");
    create_directory(folder.path("file"));

    const std::string orphan = folder.path("missing/child");
    try {
        create_directory(orphan);
        FAIL() << "no exception";
    } catch (const CheckerException& failure) {
        EXPECT_EQ("Error getting creating dir, path: [" + orphan +
                      "], error: [code: [2], message: [No such file or directory]]",
                  std::string(failure.what()));
    }
}

TEST(ExecutablePath, IsTheRunningProgram) {
    char resolved[PATH_MAX];
    ASSERT_NE(nullptr, ::realpath("/proc/self/exe", resolved));
    EXPECT_EQ(std::string(resolved), executable_path());
}

TEST(ParentDirectory, CutsAfterTheLastSeparatorOfEitherKind) {
    EXPECT_EQ("C:/Program Files\\", parent_directory("C:/Program Files\\checker.exe"));
    EXPECT_EQ("/opt/app/", parent_directory("/opt/app/checker"));
    EXPECT_EQ("checker", parent_directory("checker"));
    EXPECT_EQ("", parent_directory(""));
    EXPECT_EQ("/opt/app/", parent_directory("/opt/app/"));
}

TEST(ProcessServices, PidAndSleep) {
    EXPECT_EQ(static_cast<uint32_t>(::getpid()), current_process_id());
    sleep_millis(0);
    sleep_millis(5);
}
