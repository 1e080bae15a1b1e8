// Time-stamped event recorder of one run.
#include "tracer.hpp"

#include <ctime>

#include "diagnostic_text.hpp"
#include "local_time.hpp"

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
    std::string key = current_timestamp() + "_" + to_string(counter_);
    if (counter_ <= recorded_limit) {
        set_string_field(events_, key, cleaner_.clean(event_text));
        return;
    }
    last_events_.emplace_back(std::move(key), cleaner_.clean(event_text));
    if (last_events_.size() > kept_last_limit) {
        last_events_.pop_front();
        if (first_left_out_ == 0) {
            first_left_out_ = counter_ - static_cast<uint32_t>(kept_last_limit);
        }
    }
}

const JsonHandle& Tracer::events() {
    if (first_left_out_ != 0) {
        const uint32_t left_out = counter_ - static_cast<uint32_t>(last_events_.size()) - first_left_out_ + 1;
        set_string_field(events_, current_timestamp() + "_" + to_string(first_left_out_),
                         "trace events left out: [" + to_string(left_out) + "], limit: [" +
                             to_string(recorded_limit) + "]");
        first_left_out_ = 0;
    }
    for (const auto& [key, text] : last_events_) {
        set_string_field(events_, key, text);
    }
    last_events_.clear();
    return events_;
}

}  // namespace checker
