// The checker's command line: --config, --delete, --help, --usage, parsed by popt.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <popt.h>

#include "support/scoped_resource.hpp"
#include "support/tracer.hpp"

namespace checker {

struct PoptContextTraits {
    using Value = poptContext;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { poptFreeContext(value); }
};
using PoptContextOwner = ScopedResource<PoptContextTraits>;

// The parsed command line. popt writes into the fields through the record's own option
// table and keeps referring to that table, so the record neither copies nor moves.
class CheckerOptions {
public:
    CheckerOptions(int argc, const char** argv);
    CheckerOptions(const CheckerOptions&) = delete;
    CheckerOptions& operator=(const CheckerOptions&) = delete;

    // The --config value, or nothing when the option was not given.
    const std::optional<std::string>& config_path() const { return config_path_; }
    bool delete_requested() const { return delete_flag_ != 0; }
    bool help_requested() const { return help_flag_ != 0; }
    bool usage_requested() const { return usage_flag_ != 0; }
    const std::string& error_text() const { return error_text_; }
    const std::vector<std::string>& leftover_arguments() const { return leftover_arguments_; }
    // popt's texts go to the console's error stream; no-ops without a context or a console.
    void print_help() const;
    void print_usage() const;

private:
    std::optional<std::string> config_path_;
    int delete_flag_ = 0;
    int help_flag_ = 0;
    int usage_flag_ = 0;
    std::string error_text_;
    std::vector<std::string> leftover_arguments_;
    std::array<poptOption, 5> option_table_;
    PoptContextOwner context_;
};

// Never throws for a bad command line: problems land in the error text.
inline CheckerOptions parse_command_line(int argc, const char** argv) {
    return CheckerOptions(argc, argv);
}

// Prints what the command line asks for or got wrong and gives the exit status, or
// nothing when the run goes on. The error lines go to trace where there is no console.
std::optional<int> answer_command_line(const CheckerOptions& options, Tracer* trace = nullptr);

}  // namespace checker
