// The notifier's one process-wide record, read by its run sequence, icon, window procedure and dialogs.
#pragma once

#include <cstdint>
#include <string>

#include "notifier/win32_shell.hpp"
#include "support/tracer.hpp"

namespace notifier {

struct NotifierState {
    HINSTANCE instance_handle = nullptr;
    std::u16string window_class_name = u"e48e2be7-451e-48e5-8889-8c97c1485340";
    std::u16string balloon_text;
    std::u16string update_header;
    std::u16string update_text;
    std::u16string balloon_icon_path;
    checker::Tracer tracer;
};

extern NotifierState notifier_state;

// Records a trace event. An event the tracer cannot take (text that is not UTF-8) is dropped:
// tracing never changes the course of a run.
void trace(const std::string& event_text) noexcept;

}  // namespace notifier
