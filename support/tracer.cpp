// Time-stamped event recorder of one run.
#include "tracer.hpp"

#include <ctime>

#include "diagnostic_text.hpp"
#include "platform_local_time.hpp"

namespace checker {

std::string current_timestamp() {
    const std::tm local = platform::local_time_now();
    char buffer[128] = {};
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d_%H:%M:%S", &local);
    return std::string(buffer, length);
}

Tracer::Tracer() : Tracer(false) {}

Tracer::Tracer(bool enabled) : enabled_(enabled), events_(make_empty_object()) {}

void Tracer::add(const std::string& event_text) {
    if (!enabled_) {
        return;
    }
    // The counter in the key keeps keys unique within one second and gives the order.
    ++counter_;
    set_string_field(events_, current_timestamp() + "_" + to_string(counter_), cleaner_.clean(event_text));
}

}  // namespace checker
