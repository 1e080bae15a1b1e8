// Command-line parsing into CheckerOptions.
#include <vector>

#include <gtest/gtest.h>

#include "checker/command_line.hpp"

namespace checker {
namespace {

struct Parsed {
    explicit Parsed(std::vector<const char*> arguments) : argv(std::move(arguments)) {
        argv.insert(argv.begin(), "checker");
    }
    CheckerOptions parse() { return parse_command_line(static_cast<int>(argv.size()), argv.data()); }
    std::vector<const char*> argv;
};

TEST(CommandLine, NoArgumentsLetTheRunGoOn) {
    Parsed input({});
    const CheckerOptions options = input.parse();
    EXPECT_FALSE(options.config_path());
    EXPECT_FALSE(options.delete_requested());
    EXPECT_FALSE(answer_command_line(options));
}

TEST(CommandLine, ShortAndLongFormsAreTheSame) {
    for (const std::vector<const char*>& arguments :
         {std::vector<const char*>{"-c", "my.json", "-d"}, std::vector<const char*>{"--config=my.json", "--delete"},
          std::vector<const char*>{"--config", "other.json", "--config", "my.json", "-d"}}) {
        Parsed input(arguments);
        const CheckerOptions options = input.parse();
        EXPECT_EQ(options.config_path().value_or(""), "my.json");
        EXPECT_TRUE(options.delete_requested());
        EXPECT_EQ(options.error_text(), "");
    }
}

TEST(CommandLine, ProblemsLandInTheRecord) {
    Parsed unknown({"--bogus", "stray"});
    const CheckerOptions unknown_options = unknown.parse();
    EXPECT_EQ(unknown_options.error_text(), "unknown option: --bogus");
    EXPECT_TRUE(unknown_options.leftover_arguments().empty());

    Parsed stray({"-d", "one", "--", "-h"});
    const CheckerOptions stray_options = stray.parse();
    EXPECT_EQ(stray_options.leftover_arguments(), (std::vector<std::string>{"one", "-h"}));
    EXPECT_FALSE(stray_options.help_requested());
}

}  // namespace
}  // namespace checker
