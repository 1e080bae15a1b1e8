// Time-stamped event recorder of one run, written to trace.json.
#pragma once

#include <cstdint>
#include <string>

#include "json_helpers.hpp"
#include "secret_cleaner.hpp"

namespace checker {

// Local time as "%Y-%m-%d_%H:%M:%S".
std::string current_timestamp();

class Tracer {
public:
    Tracer();
    explicit Tracer(bool enabled);
    Tracer(const Tracer&) = delete;
    Tracer& operator=(const Tracer&) = delete;

    void set_enabled(bool enabled) { enabled_ = enabled; }
    bool is_enabled() const { return enabled_; }
    const JsonHandle& events() const { return events_; }
    uint32_t counter() const { return counter_; }
    // The run's secrets: no event carries one, and the run cleans its console lines with it.
    SecretCleaner& cleaner() { return cleaner_; }

    void add(const std::string& event_text);

private:
    bool enabled_;
    JsonHandle events_;
    uint32_t counter_ = 0;
    SecretCleaner cleaner_;
};

}  // namespace checker
