// The notifier's one process-wide record: the stored texts it shows, and its tracer.
#pragma once

#include <string>

#include "support/tracer.hpp"

namespace notifier {

struct NotifierState {
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
