// The notifier's run sequence, its GO/NOGO decision and the writing of its trace.
#include "notifier/notifier_run.hpp"

#include <cstdint>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "notifier/desktop.hpp"
#include "notifier/instance_mutex.hpp"
#include "notifier/notifier_policy.hpp"
#include "notifier/notifier_session.hpp"
#include "notifier/notifier_state.hpp"
#include "notifier/resource_strings.hpp"
#include "notifier/user_choice.hpp"
#include "support/diagnostic_text.hpp"
#include "support/json_helpers.hpp"
#include "support/paths.hpp"
#include "support/process.hpp"
#include "support/text_conversion.hpp"
#include "support/version_descriptor.hpp"

namespace notifier {
namespace {

// The per-user update folder named by strings 147 and 148, ending in "/".
std::string update_folder() {
    const std::string vendor = checker::narrow(load_resource_string(string_vendor_folder));
    const std::string package = checker::narrow(load_resource_string(string_package_folder));
    return checker::update_folders(vendor, package).update + "/";
}

void trace_failure(const std::exception& failure) {
    trace(std::string("ERROR: ") + failure.what());
}

// True when the command line is at least two characters long and ends in "-v".
bool tracing_requested(const std::u16string& command_line) {
    return command_line.size() >= 2 && command_line.compare(command_line.size() - 2, 2, u"-v") == 0;
}

std::string choice_path() {
    return update_folder() + "choice.json";
}

// Loads version.json and the shipped version and fills the texts of the notifier state; the
// stored version_number (GO) when it is greater and the user's choice (when allowed) does not
// hold it back. Any failure gives nothing.
std::optional<uint64_t> decide_mode(bool allow_user_choices) noexcept {
    try {
        const std::string shipped_version = checker::narrow(load_resource_string(string_shipped_version));
        trace("shipped version extracted, version_number: [" + shipped_version + "]");
        trace("EVENT_SHIPPEDVERSION " + shipped_version);

        const std::string version_path = update_folder() + "version.json";
        trace("loading version from file, path: [" + version_path + "]");
        trace("EVENT_LOCALPATH " + version_path);
        const checker::VersionDescriptor stored =
            checker::descriptor_from_json(checker::load_json_from_file(version_path, checker::notifier_version_read_limit));
        trace("version loaded successfully");

        trace("version contents, balloon_text: [" + stored.ui_balloon_text + "]");
        trace("EVENT_CONTENTBALLOON " + stored.ui_balloon_text);
        notifier_state.balloon_text = checker::widen(stored.ui_balloon_text);
        trace("version contents, update_header: [" + stored.ui_update_header + "]");
        trace("EVENT_CONTENTUPDATEHEADER " + stored.ui_update_header);
        notifier_state.update_header = checker::widen(stored.ui_update_header);
        trace("version contents, update_text: [" + stored.ui_update_text + "]");
        trace("EVENT_CONTENTUPDATETEXT " + stored.ui_update_text);
        notifier_state.update_text = checker::widen(stored.ui_update_text);
        const std::string stored_number = checker::to_string(stored.version_number);
        trace("version contents, version_number: [" + stored_number + "]");
        trace("EVENT_CONTENTVERSION " + stored_number);

        const std::string icon_path = checker::parent_directory(checker::executable_path()) + "icon.bmp";
        notifier_state.balloon_icon_path = checker::widen(icon_path);
        trace("balloon icon resolved, path: [" + icon_path + "]");

        if (stored.version_number <= checker::parse_uint64(shipped_version)) {
            return std::nullopt;
        }
        if (allow_user_choices) {
            const std::optional<std::string> reason =
                held_back_by(load_user_choice(choice_path()), stored.version_number, std::time(nullptr));
            if (reason) {
                trace(*reason);
                return std::nullopt;
            }
        }
        return stored.version_number;
    } catch (const std::exception& failure) {
        trace_failure(failure);
        return std::nullopt;
    }
}

// Keeps what the user chose for this version; a choice that cannot be kept is a failed run.
int keep_choice(DialogAnswer answer, uint64_t version_number) {
    const std::optional<UserChoice> choice = choice_from_answer(answer, version_number, std::time(nullptr));
    if (!choice) {
        return 0;
    }
    try {
        store_user_choice(*choice, choice_path());
        trace("user choice stored, path: [" + choice_path() + "]");
        return 0;
    } catch (const std::exception& failure) {
        trace_failure(failure);
        return 1;
    }
}

// Writes the trace to trace.json when tracing is on; failures are swallowed.
void write_trace_file() noexcept {
    if (!notifier_state.tracer.is_enabled()) {
        return;
    }
    try {
        checker::dump_json_to_file(notifier_state.tracer.events(), update_folder() + "trace.json");
    } catch (...) {
        // A trace that cannot be written is dropped; it never changes the run.
    }
}

// Shows the notice on the desktop until the user or the taskbar ends the run; returns its status.
int run_go_mode(uint64_t version_number, bool offer_choices) {
    const std::unique_ptr<Desktop> desktop = make_desktop();
    NotifierSession session(*desktop, load_resource_string(string_download_address), offer_choices);
    if (!desktop->open(session)) {
        return 1;
    }
    session.start();
    trace("is due to start message loop");
    write_trace_file();
    const int status = desktop->run_until_end();
    const int kept = keep_choice(session.answer(), version_number);
    return status != 0 ? status : kept;
}

}  // namespace

int run_notifier(const std::u16string& command_line) {
    notifier_state.tracer.set_enabled(tracing_requested(command_line));
    trace("EVENT_PID " + checker::to_string(checker::current_process_id()));
    trace("tracer initialized");

    int status = 0;
    if (another_instance_runs(load_resource_string(string_mutex_name))) {
        trace("another instance of notifier is already running");
    } else {
        const NoticePolicy policy = notice_policy();
        const std::optional<uint64_t> shown_version =
            policy.show_notices ? decide_mode(policy.allow_user_choices) : std::nullopt;
        if (!shown_version) {
            trace("'NOGO' mode exiting");
            trace("EVENT_PROCEED 1");
        } else {
            trace("'GO' mode proceeding");
            trace("EVENT_PROCEED 0");
            try {
                status = run_go_mode(*shown_version, policy.allow_user_choices);
            } catch (const std::exception& failure) {
                trace_failure(failure);
                status = 1;
            }
        }
    }
    write_trace_file();
    return status;
}

}  // namespace notifier
