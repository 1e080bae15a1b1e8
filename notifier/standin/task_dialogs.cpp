// Task dialogs: a modal loop on the calling thread that plays user actions into the dialog callback.
#include <algorithm>
#include <string>
#include <vector>

#include "notifier/standin/internal.hpp"

namespace {
struct DialogRun {
    const TASKDIALOGCONFIG& config;
    std::string title;
    HWND window = nullptr;
    bool expanded = false;
    bool ended = false;
    int pressed = 0;
};
// The dialogs whose modal loops run, innermost last.
std::vector<DialogRun*> open_dialogs;
HRESULT notify(DialogRun& run, UINT code, WPARAM wparam, LPARAM lparam) {
    if (run.config.pfCallback == nullptr) {
        return S_OK;
    }
    return run.config.pfCallback(run.window, code, wparam, lparam, run.config.lpCallbackData);
}
void press(DialogRun& run, int button);
// A dialog's window takes TDM_CLICK_BUTTON and reports its end when it is destroyed.
LRESULT CALLBACK dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM) {
    const auto found = std::find_if(open_dialogs.begin(), open_dialogs.end(),
                                    [window](const DialogRun* run) { return run->window == window; });
    if (found == open_dialogs.end()) {
        return 0;
    }
    DialogRun& run = **found;
    if (message == TDM_CLICK_BUTTON) {
        press(run, static_cast<int>(wparam));
    } else if (message == WM_DESTROY) {
        standin::report("task dialog closed, title: [" + run.title + "], button: [" + std::to_string(run.pressed) + "]");
        notify(run, TDN_DESTROYED, 0, 0);
        run.ended = true;
    }
    return 0;
}
// The target of each <a href="..."> element of a markup text, in order: the form of the
// notifier's footer link.
std::vector<std::u16string> link_targets(const std::u16string& markup) {
    const std::u16string opening = u"<a href=\"";
    std::vector<std::u16string> targets;
    for (std::size_t at = markup.find(opening); at != std::u16string::npos; at = markup.find(opening, at)) {
        at += opening.size();
        const std::size_t close = markup.find(u'"', at);
        if (close == std::u16string::npos) {
            break;
        }
        targets.push_back(markup.substr(at, close - at));
        at = close;
    }
    return targets;
}
// The links a person sees, top to bottom. The notifier's dialog expands into its footer area
// (TDF_EXPAND_FOOTER_AREA), so the expanded text sits below the footer.
std::vector<std::u16string> visible_links(const DialogRun& run) {
    std::vector<std::u16string> links;
    if ((run.config.dwFlags & TDF_ENABLE_HYPERLINKS) == 0) {
        return links;
    }
    for (const PCWSTR text : {run.config.pszFooter, run.expanded ? run.config.pszExpandedInformation : nullptr}) {
        for (auto& target : link_targets(text == nullptr ? std::u16string() : std::u16string(text))) {
            links.push_back(target);
        }
    }
    return links;
}
// The main icon: a standard one by name, one of the module's by its resource id.
std::string icon_name(PCWSTR icon) {
    if (icon == TD_ERROR_ICON) {
        return "error";
    }
    return icon == nullptr || !standin::is_resource_id(icon) ? std::string() : std::to_string(LOWORD(icon));
}
void report_shown(const DialogRun& run) {
    const TASKDIALOGCONFIG& config = run.config;
    std::string line = "task dialog shown, title: [" + run.title + "], header: [" +
                       standin::to_utf8(config.pszMainInstruction) + "]";
    const std::string icon = icon_name(config.pszMainIcon);
    if (!icon.empty()) {
        line += ", icon: [" + icon + "]";
    }
    for (const auto& link : visible_links(run)) {
        line += ", link: [" + checker::narrow(link) + "]";
    }
    standin::report(line);
}
bool can_cancel(const DialogRun& run) {
    return (run.config.dwCommonButtons & TDCBF_CANCEL_BUTTON) != 0 ||
           (run.config.dwFlags & TDF_ALLOW_DIALOG_CANCELLATION) != 0;
}
// A button press: the callback may keep the dialog open by returning S_FALSE.
void press(DialogRun& run, int button) {
    const HRESULT result = notify(run, TDN_BUTTON_CLICKED, static_cast<WPARAM>(button), 0);
    if (!run.ended && result == S_OK) {
        run.pressed = button;
        DestroyWindow(run.window);
    }
}
void toggle_expanded(DialogRun& run) {
    run.expanded = !run.expanded;
    if (run.expanded) {
        standin::report("task dialog expanded, button: [" + standin::to_utf8(run.config.pszExpandedControlText) +
                        "], text: [" + standin::to_utf8(run.config.pszExpandedInformation) + "]");
    } else {
        standin::report("task dialog collapsed");
    }
    notify(run, TDN_EXPANDO_BUTTON_CLICKED, run.expanded ? TRUE : FALSE, 0);
}
// Carries out one user action while the dialog is up; false when it had nothing to act on.
bool play(DialogRun& run, const standin::UserAction& action) {
    using standin::ActionKind;
    switch (action.kind) {
    case ActionKind::expand:
        if (run.config.pszExpandedInformation == nullptr) {
            return false;
        }
        toggle_expanded(run);
        return true;
    case ActionKind::cancel:
        if (!can_cancel(run)) {
            return false;
        }
        press(run, IDCANCEL);
        return true;
    case ActionKind::close:
        // The Close button when there is one, otherwise the close box, which cancels.
        if ((run.config.dwCommonButtons & TDCBF_CLOSE_BUTTON) != 0) {
            press(run, IDCLOSE);
        } else if (can_cancel(run)) {
            press(run, IDCANCEL);
        } else {
            return false;
        }
        return true;
    case ActionKind::link: {
        const auto links = visible_links(run);
        if (action.link_number < 1 || static_cast<std::size_t>(action.link_number) > links.size()) {
            return false;
        }
        const std::u16string& target = links[static_cast<std::size_t>(action.link_number) - 1];
        standin::report("link followed: [" + checker::narrow(target) + "]");
        notify(run, TDN_HYPERLINK_CLICKED, 0, reinterpret_cast<LPARAM>(target.c_str()));
        return true;
    }
    default:
        return standin::is_icon_action(action.kind) && standin::deliver_icon_action(action.kind);
    }
}
// Nobody is left to answer the dialog: it is cancelled (or closed), and ended if it refuses.
void close_unattended(DialogRun& run) {
    standin::report("no user action left: the dialog is dismissed");
    press(run, can_cancel(run) ? IDCANCEL : IDCLOSE);
    if (!run.ended) {
        DestroyWindow(run.window);
    }
}
}  // namespace

// The notifier's dialogs have no radio buttons and no verification box: those asking for their state are refused.
HRESULT TaskDialogIndirect(const TASKDIALOGCONFIG* config, int* button, int* radio_button, BOOL* verification_checked) {
    if (config == nullptr || config->cbSize != sizeof(TASKDIALOGCONFIG) ||
        (config->hwndParent != nullptr && !IsWindow(config->hwndParent)) || radio_button != nullptr ||
        verification_checked != nullptr) {
        return E_INVALIDARG;
    }
    DialogRun run{*config, standin::to_utf8(config->pszWindowTitle)};
    run.window = standin::create_internal_window(dialog_procedure, run.title);
    open_dialogs.push_back(&run);
    report_shown(run);
    notify(run, TDN_DIALOG_CONSTRUCTED, 0, 0);
    if (!run.ended) {
        notify(run, TDN_CREATED, 0, 0);
    }
    // The modal loop: the thread's messages are dispatched as they come (the program's other
    // windows keep working); when none is waiting, the next user action is played.
    while (!run.ended) {
        MSG message{};
        if (standin::take_queued_message(message)) {
            if (message.message == WM_QUIT) {
                // A modal loop ends on the quit message and passes it on to the outer loop.
                PostQuitMessage(static_cast<int>(message.wParam));
                DestroyWindow(run.window);
                break;
            }
            DispatchMessageW(&message);
            continue;
        }
        const auto action = standin::next_user_action();
        if (!action) {
            close_unattended(run);
        } else if (!play(run, *action)) {
            standin::report("user action ignored, nothing to act on: [" + action->text + "]");
        }
    }
    open_dialogs.pop_back();
    if (button != nullptr) {
        *button = run.pressed;
    }
    return S_OK;
}
