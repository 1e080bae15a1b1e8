// The checker's command line: --config, --delete, --help, --usage, parsed by popt.
#include "checker/command_line.hpp"

#include <cstdio>
#include <cstdlib>

#include "checker/console.hpp"

namespace checker {
namespace {

// A text that popt allocated with malloc for its caller.
struct MallocText {
    using Value = char*;
    static Value empty() noexcept { return nullptr; }
    // The owner is the RAII: popt hands out malloc'd text, so free is its matching release.
    static void close(Value value) noexcept { std::free(value); }  // NOLINT(cppcoreguidelines-no-malloc)
};

}  // namespace

CheckerOptions::CheckerOptions(int argc, const char** argv)
    : option_table_{{
          {"config", 'c', POPT_ARG_STRING, nullptr, 'c', "Path to config file", "config.json"},
          {"delete", 'd', POPT_ARG_NONE, &delete_flag_, 'd', "Delete downloaded file and work directory", nullptr},
          {"help", 'h', POPT_ARG_NONE, &help_flag_, 'h', "Show this help message", nullptr},
          {"usage", '\0', POPT_ARG_NONE, &usage_flag_, 0, "Display brief usage message", nullptr},
          POPT_TABLEEND,
      }} {
    context_.reset(poptGetContext(nullptr, argc, argv, option_table_.data(), POPT_CONTEXT_NO_EXEC));
    if (!context_.valid()) {
        error_text_ = "'poptGetContext' error";
        return;
    }
    int result = 0;
    while ((result = poptGetNextOpt(context_.get())) >= 0) {
        // The flags are stored through the table. The config text is taken over here instead:
        // popt would overwrite (and leak) an earlier value when --config is given twice.
        if (result == 'c') {
            const ScopedResource<MallocText> argument(poptGetOptArg(context_.get()));
            config_path_ = argument.valid() ? std::optional<std::string>(argument.get()) : std::nullopt;
        }
    }
    if (result < -1) {
        error_text_ = std::string(poptStrerror(result)) + ": " +
                      poptBadOption(context_.get(), POPT_BADOPTION_NOALIAS);
        return;
    }
    while (const char* argument = poptGetArg(context_.get())) {
        leftover_arguments_.emplace_back(argument);
    }
}

void CheckerOptions::print_help() const {
    if (context_.valid() && console_file(ConsoleStream::error) != nullptr) {
        poptPrintHelp(context_.get(), console_file(ConsoleStream::error), 0);
    }
}

void CheckerOptions::print_usage() const {
    if (context_.valid() && console_file(ConsoleStream::error) != nullptr) {
        poptPrintUsage(context_.get(), console_file(ConsoleStream::error), 0);
    }
}

std::optional<int> answer_command_line(const CheckerOptions& options, Tracer* trace) {
    if (!options.error_text().empty()) {
        console_line(ConsoleStream::error, "ERROR: " + options.error_text(), trace);
        options.print_usage();
        return 1;
    }
    if (!options.leftover_arguments().empty()) {
        std::string line = "ERROR: invalid arguments specified:";
        for (const std::string& argument : options.leftover_arguments()) {
            line += " " + argument;
        }
        console_line(ConsoleStream::error, line, trace);
        options.print_usage();
        return 1;
    }
    if (options.help_requested()) {
        options.print_help();
        return 0;
    }
    if (options.usage_requested()) {
        options.print_usage();
        return 0;
    }
    return std::nullopt;
}

}  // namespace checker
