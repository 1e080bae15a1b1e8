// The checker's run: command line, configuration, then the version check or the delete mode.
#include "checker/run_sequence.hpp"

#include <chrono>
#include <cstdlib>
#include <exception>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "checker/artifact_version.hpp"
#include "checker/check_schedule.hpp"
#include "checker/check_state.hpp"
#include "checker/command_arguments.hpp"
#include "checker/command_line.hpp"
#include "checker/console.hpp"
#include "checker/http_transfer.hpp"
#include "checker/release_package.hpp"
#include "checker/release_plan.hpp"
#include "checker/run_deadline.hpp"
#include "checker/url_text.hpp"
#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"
#include "support/file_access.hpp"
#include "support/file_system.hpp"
#include "support/json_helpers.hpp"
#include "support/paths.hpp"
#include "support/process.hpp"
#include "support/tracer.hpp"
#include "support/update_policy.hpp"
#include "support/version_descriptor.hpp"

namespace checker {
namespace {

constexpr uint32_t config_read_limit = 32768;

UpdateFolders configured_folders(const CheckerConfig& config) {
    return update_folders(config.vendor_name, config.application_name);
}

// The --config value unchanged, else the executable directory followed by "config.json".
std::string config_file_path(const std::optional<std::string>& config_option, const std::string& executable_directory) {
    return config_option ? *config_option : executable_directory + "config.json";
}

// The path of version.json; creates the vendor, application and update folders first.
std::string version_file_path(const CheckerConfig& config) {
    const UpdateFolders folders = configured_folders(config);
    create_directory(folders.vendor);
    create_directory(folders.application);
    create_directory(folders.update);
    return folders.update + "/version.json";
}

// The checker's own state lives beside version.json.
std::string check_state_path(const CheckerConfig& config) {
    return configured_folders(config).update + "/check_state.json";
}

uint64_t unix_time_now() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count());
}

// A random number in [0, 1): the stretch of a back-off, so that a fleet does not come back at once.
double random_fraction() {
    try {
        std::random_device device;
        return std::uniform_real_distribution<double>(0.0, 1.0)(device);
    } catch (...) {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        return static_cast<double>(static_cast<uint64_t>(ticks) % 1000) / 1000.0;
    }
}

// A machine's rollout group, drawn once.
int32_t random_rollout_group() {
    return static_cast<int32_t>(random_fraction() * rollout_groups) % rollout_groups;
}

void trace_lines(Tracer& tracer, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        tracer.add(line);
    }
}

// The secrets known once the configuration is: its passwords and the user info of every address
// that may be used, from the configuration or the environment.
void learn_secrets(const CheckerConfig& config, SecretCleaner& cleaner) {
    cleaner.hide(config.curl_proxy_password);
    cleaner.hide(config.curl_ssl_keypasswd);
    hide_user_info(cleaner, config.remote_version_url);
    hide_user_info(cleaner, config.curl_proxy);
    for (const char* name : {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "http_proxy", "HTTP_PROXY"}) {
        const char* value = std::getenv(name);
        hide_user_info(cleaner, value != nullptr ? value : "");
    }
}

// The stored number. A stored file that cannot be read (corrupt, over the read limit, a number no
// artifact name gives) counts as none, so that this run replaces it instead of every run failing
// on it; a file that cannot even be opened still fails the run.
uint64_t stored_version_number(const CheckerConfig& config, const std::string& version_path, Tracer& tracer) {
    try {
        const uint64_t number = load_local_version(config.max_json_size_bytes, version_path).version_number;
        require_artifact_version_number(number);
        return number;
    } catch (const CheckerException& failure) {
        open_file(version_path, "r", 0);
        tracer.add("local version unreadable, taken as 0, error: [" + std::string(failure.what()) + "]");
        return 0;
    }
}

// Writes trace.json when tracing is on and announces it; never throws.
void write_trace(const CheckerConfig& config, Tracer& tracer) noexcept {
    if (!tracer.is_enabled()) {
        return;
    }
    try {
        const std::string trace_path = configured_folders(config).update + "/trace.json";
        dump_json_to_file(tracer.events(), trace_path);
        console_line(ConsoleStream::output, "Trace written, path: [" + trace_path + "]");
    } catch (...) {
        // A trace that cannot be written never changes the outcome of the run.
    }
}

// How a run ends: status 0 with an INFO line (none when message is empty), or status 1 with an
// ERROR line whose message is also traced; detail follows the message on the line only.
struct RunEnd {
    int status;
    std::string message;
    std::string detail;
};

// Every end of a run: the failure traced, the time-stamped line cleaned of the run's secrets, the
// trace written into the update folder that config names; returns the status. Never throws.
int end_run(const RunEnd& end, Tracer& tracer, const CheckerConfig& config) noexcept {
    const bool failed = end.status != 0;
    try {
        if (failed) {
            tracer.add("ERROR: " + end.message);
        }
    } catch (const std::exception&) {
        // The line below still reports the run.
    }
    try {
        if (failed || !end.message.empty()) {
            const std::string text = (failed ? " ERROR: " : " INFO: ") + end.message + end.detail;
            console_line(failed ? ConsoleStream::error : ConsoleStream::output,
                         current_timestamp() + tracer.cleaner().clean(text), &tracer);
        }
    } catch (const std::exception&) {
        // The status still reports the run.
    }
    write_trace(config, tracer);
    return end.status;
}

// An INFO line in the middle of a run, traced and printed as end_run prints its own.
void info_line(Tracer& tracer, const std::string& message) {
    tracer.add(message);
    console_line(ConsoleStream::output, current_timestamp() + tracer.cleaner().clean(" INFO: " + message), &tracer);
}

// Failures of the single calls are ignored by the file layer; only user_data_dir can throw.
// A writer killed between creating its temporary file and renaming it leaves that file behind;
// it goes too, or the update folder could not be removed. choice.json is the notifier's (the
// user's answers to its notices); the checker never reads it, but removes it with the rest.
void run_delete_mode(const CheckerConfig& config) {
    const UpdateFolders folders = configured_folders(config);
    for (const char* name : {"/version.json", "/trace.json", "/choice.json", "/check_state.json"}) {
        delete_file(folders.update + name);
        remove_temporary_files(folders.update + name, 0);
    }
    remove_directory(folders.update);
    remove_directory(folders.application);
    remove_directory(folders.vendor);
}

// The download, conditional on the stored validators; a failed one leaves in the state when the
// server may be asked again, and is thrown on.
std::optional<JsonHandle> fetch_document(const CheckerConfig& config, Tracer& tracer, CheckState& state,
                                         const std::string& state_path, uint64_t local_number, uint64_t now,
                                         FetchReport& report) {
    const bool signing = !config.metadata_public_keys.empty();
    Revalidation revalidation;
    revalidation.request_headers = validator_headers(state, local_number, signing);
    if (signing) {
        revalidation.verified_digest = digest_from_text(state.verified_digest);
    }
    if (!revalidation.request_headers.empty()) {
        tracer.add("conditional request, validators of version number: [" + to_string(local_number) + "]");
    }
    try {
        // One time limit for the whole transfer step, proxy lookups included.
        const RunDeadline deadline(config.curl_timeout_millis);
        return load_json_from_url(config, tracer, deadline, revalidation, report);
    } catch (const std::exception&) {
        std::vector<std::string> notes;
        const CheckState failed = state_after_failure(state, report.answer, now, random_fraction(), notes);
        trace_lines(tracer, notes);
        if (!(failed == state)) {
            save_check_state(failed, state_path, tracer);
        }
        throw;
    }
}

int run_version_check(const CheckerConfig& config, Tracer& tracer) {
    std::string version_path;
    uint64_t local_number = 0;
    try {
        version_path = version_file_path(config);
        tracer.add("local version path resolved, path: [" + version_path + "]");
        local_number = stored_version_number(config, version_path, tracer);
        tracer.add("local version loaded, version number: [" + to_string(local_number) + "]");
        tracer.add("EVENT_LOCALVERSION " + to_string(local_number));

        const std::string state_path = check_state_path(config);
        CheckState state = load_check_state(state_path, tracer);
        const uint64_t now = unix_time_now();
        std::vector<std::string> notes;
        const std::optional<RequestHold> hold = request_hold(state, config.min_check_interval_minutes, now, notes);
        trace_lines(tracer, notes);
        if (hold) {
            tracer.add(hold->message);
            return end_run({0, hold->message, ""}, tracer, config);
        }

        FetchReport report;
        const std::optional<JsonHandle> document =
            fetch_document(config, tracer, state, state_path, local_number, now, report);
        if (!document) {
            tracer.add("nothing new, stored version kept, version number: [" + to_string(local_number) + "]");
            save_check_state(state_after_success(state, now), state_path, tracer);
            return end_run({0, "", ""}, tracer, config);
        }
        const VersionDescriptor remote = descriptor_from_json(*document);
        require_release_package(remote, this_release_package());
        const uint64_t remote_number = remote.version_number;
        require_artifact_version_number(remote_number);
        tracer.add("remote version loaded, version number: [" + to_string(remote_number) + "]");
        tracer.add("EVENT_REMOTEVERSION " + to_string(remote_number));

        const ReleasePlan plan = release_plan_from_json(document->get(), now);
        if (local_number != 0 && is_withdrawn(plan, local_number)) {
            // A release taken back: its notice stops, and the one before it can be announced again.
            delete_file(version_path);
            if (file_exists(version_path)) {
                throw CheckerException("Cannot remove withdrawn version descriptor: [" + version_path + "]");
            }
            info_line(tracer, "stored version withdrawn, removed: [" + version_path + "] version_number: [" +
                                  to_string(local_number) + "]");
            local_number = 0;
        }
        if (remote_number > local_number && is_withdrawn(plan, remote_number)) {
            tracer.add("remote version withdrawn, not stored, version number: [" + to_string(remote_number) + "]");
            save_check_state(state_after_success(state, now), state_path, tracer);
            return end_run({0, "", ""}, tracer, config);
        }
        if (remote_number > local_number && plan.rollout) {
            if (state.rollout_group < 0) {
                state.rollout_group = random_rollout_group();
            }
            const uint64_t due = rollout_due_time(*plan.rollout, state.rollout_group);
            if (now < due) {
                // Not processed to its end: no validators kept, or a 304 would hide the release when due.
                tracer.add("release not yet due for this machine, rollout group: [" + to_string(state.rollout_group) +
                           "], due: [" + utc_time_text(due) + "]");
                save_check_state(state_after_success(state, now), state_path, tracer);
                return end_run({0, "", ""}, tracer, config);
            }
        }

        if (remote_number > local_number) {
            dump_json_to_file(storable_form(remote, config.max_json_size_bytes), version_path);
            tracer.add("remote version written, path: [" + version_path + "]");
            tracer.add("EVENT_WRITTEN " + version_path);
            save_check_state(state_with_validators(state_after_success(state, now), report.answer, remote_number,
                                                   report.verified_digest),
                             state_path, tracer);
            return end_run({0,
                            "new version descriptor obtained: [" + version_path + "] old version_number: [" +
                                to_string(local_number) + "], new version number: [" + to_string(remote_number) + "]",
                            ""},
                           tracer, config);
        }
        save_check_state(state_with_validators(state_after_success(state, now), report.answer, local_number,
                                               report.verified_digest),
                         state_path, tracer);
        return end_run({0, "", ""}, tracer, config);
    } catch (const std::exception& failure) {
        return end_run({1, failure.what(),
                        "; local version, path: [" + version_path + "], version_number: [" + to_string(local_number) +
                            "]"},
                       tracer, config);
    }
}

// The run once config.json is read; from the trace on, a failure ends like a failed check.
int run_configured(const CheckerOptions& options, const CheckerConfig& config, const std::string& config_path) {
    Tracer tracer(config.system_trace_enable);
    try {
        learn_secrets(config, tracer.cleaner());
        tracer.add("EVENT_PID " + to_string(current_process_id()));
        tracer.add("config loaded from path: [" + config_path + "]");
        if (options.delete_requested()) {
            run_delete_mode(config);
            return 0;
        }
        // The policy template's key is the release's; vendor_name only names the update folder.
        const UpdatePolicy policy = system_update_policy(this_release_vendor());
        for (const std::string& line : policy.trace_lines) {
            tracer.add(line);
        }
        if (!policy.check_for_updates) {
            return end_run({0, "update checks are turned off by policy (CheckForUpdates)", ""}, tracer, config);
        }
        const CheckerConfig checked_config = config_under_policy(config, policy);
        // The policy's address may carry user info of its own.
        hide_user_info(tracer.cleaner(), checked_config.remote_version_url);
        return run_version_check(checked_config, tracer);
    } catch (const std::exception& failure) {
        return end_run({1, failure.what(), ""}, tracer, config);
    }
}

// The run from main's arguments up to reading config.json; early_trace takes the lines of a bad
// command line and is written with the default configuration when the run ends there.
int run_from_arguments(int argc, char** argv, Tracer& early_trace, const CheckerConfig& defaults) {
    const std::vector<std::string> arguments = command_arguments(argc, argv);
    std::vector<const char*> pointers;
    pointers.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    pointers.push_back(nullptr);
    const CheckerOptions options = parse_command_line(static_cast<int>(arguments.size()), pointers.data());
    if (const std::optional<int> status = answer_command_line(options, &early_trace)) {
        if (*status != 0) {
            write_trace(defaults, early_trace);
        }
        return *status;
    }
    const std::string executable_directory = parent_directory(executable_path());
    const std::string config_path = config_file_path(options.config_path(), executable_directory);
    // A configuration may hold passwords: a parse failure names where it is, not what is there.
    const CheckerConfig config = load_config(
        load_json_from_file(config_path, config_read_limit, ParseFailureText::position_only), executable_directory);
    return run_configured(options, config, config_path);
}

}  // namespace

int run_checker(int argc, char** argv) noexcept {
    try {
        // Before config.json is read there is no secret to hide and no word on tracing. checkerw,
        // which has no console to show the failure on, traces it anyway, into the update folder
        // of the default configuration when that folder exists (a failed run creates none).
        Tracer early_trace(console_file(ConsoleStream::error) == nullptr);
        const CheckerConfig defaults;
        try {
            return run_from_arguments(argc, argv, early_trace, defaults);
        } catch (const std::exception& failure) {
            return end_run({1, failure.what(), ""}, early_trace, defaults);
        }
    } catch (...) {
        // Not even the early trace could be made.
        return 1;
    }
}

}  // namespace checker
