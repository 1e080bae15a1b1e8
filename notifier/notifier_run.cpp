// The notifier's run sequence, its GO/NOGO decision and the writing of its trace.
#include "notifier/notifier_run.hpp"

#include <cstdint>
#include <exception>
#include <string>

#include "notifier/notification_icon.hpp"
#include "notifier/notifier_policy.hpp"
#include "notifier/notifier_state.hpp"
#include "notifier/resource_ids.h"
#include "notifier/resource_strings.hpp"
#include "notifier/window_procedure.hpp"
#include "support/diagnostic_text.hpp"
#include "support/json_helpers.hpp"
#include "support/paths.hpp"
#include "support/process.hpp"
#include "support/scoped_resource.hpp"
#include "support/text_conversion.hpp"
#include "support/version_descriptor.hpp"

namespace notifier {
namespace {

// A kernel object handle (the single-instance mutex).
struct KernelHandle {
    using Value = HANDLE;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { CloseHandle(value); }
};

// The run's single-threaded COM apartment, which ShellExecuteW may need for its handlers; closed
// only when it was opened here.
struct ComApartment {
    using Value = bool;
    static Value empty() noexcept { return false; }
    static void close(Value) noexcept { CoUninitialize(); }
};

// The icon's handles are released however GO mode ends.
struct NotificationRelease {
    NotificationRelease() = default;
    NotificationRelease(const NotificationRelease&) = delete;
    NotificationRelease& operator=(const NotificationRelease&) = delete;
    ~NotificationRelease() { release_notification(); }
};

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

// Loads version.json and the shipped version and fills the texts of the notifier state;
// true (GO) when the stored version_number is greater. Any failure gives false.
bool decide_mode() noexcept {
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

        return stored.version_number > checker::parse_uint64(shipped_version);
    } catch (const std::exception& failure) {
        trace_failure(failure);
        return false;
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

// Registers the hidden window's class and creates it; its creation adds the icon. The window is
// a top-level popup that is never shown (no taskbar button, not in Alt+Tab): only top-level
// windows hear Explorer's "TaskbarCreated" broadcast, after which the icon must be added again.
// Returns the status that the window procedure put into the quit message.
int run_go_mode() {
    const checker::ScopedResource<ComApartment> apartment(
        SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)));
    const NotificationRelease release_on_exit;
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = 0;
    window_class.lpfnWndProc = notifier_window_proc;
    window_class.hInstance = notifier_state.instance_handle;
    window_class.hIcon = LoadIconW(notifier_state.instance_handle, MAKEINTRESOURCEW(IDI_NOTIFICATIONICON));
    window_class.lpszClassName = wide(notifier_state.window_class_name.c_str());
    if (RegisterClassExW(&window_class) == 0) {
        trace("'RegisterClassExW' fail, error: [" + system_error_text(GetLastError()) + "]");
        return 1;
    }
    const HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, wide(notifier_state.window_class_name.c_str()), nullptr,
                                        WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (window == nullptr) {
        trace("'CreateWindowExW' fail, error: [" + system_error_text(GetLastError()) + "]");
        return 1;
    }
    trace("is due to start message loop");
    write_trace_file();
    MSG message{};
    BOOL received = FALSE;
    while ((received = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // GetMessageW gives -1 on failure; the loop ends then too rather than spinning.
    if (received < 0) {
        trace("'GetMessageW' fail, error: [" + system_error_text(GetLastError()) + "]");
        return 1;
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int run_notifier(HINSTANCE instance) {
    notifier_state.tracer.set_enabled(tracing_requested(utf16(GetCommandLineW())));
    trace("EVENT_PID " + checker::to_string(checker::current_process_id()));
    trace("tracer initialized");

    // The mutex only marks that an instance runs; a failure to create it leaves the run unguarded.
    const std::u16string mutex_name = load_resource_string(string_mutex_name);
    const HANDLE mutex_handle = CreateMutexW(nullptr, FALSE, wide(mutex_name.c_str()));
    const DWORD mutex_error = GetLastError();
    const checker::ScopedResource<KernelHandle> instance_mutex(mutex_handle);

    int status = 0;
    if (mutex_error == ERROR_ALREADY_EXISTS) {
        trace("another instance of notifier is already running");
    } else {
        notifier_state.instance_handle = instance;
        if (!notices_allowed_by_policy() || !decide_mode()) {
            trace("'NOGO' mode exiting");
            trace("EVENT_PROCEED 1");
        } else {
            trace("'GO' mode proceeding");
            trace("EVENT_PROCEED 0");
            try {
                status = run_go_mode();
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
