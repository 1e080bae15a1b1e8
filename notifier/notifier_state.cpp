// The notifier's process-wide record, created before the entry point runs.
#include "notifier/notifier_state.hpp"

namespace notifier {

NotifierState notifier_state;

void trace(const std::string& event_text) noexcept {
    try {
        notifier_state.tracer.add(event_text);
    } catch (...) {
    }
}

}  // namespace notifier
