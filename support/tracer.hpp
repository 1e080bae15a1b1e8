// Time-stamped event recorder of one run, written to trace.json.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>

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
    // The events for the file: the first recorded_limit as recorded; past that, one event that
    // counts those left out, then the last kept_last_limit (which then join the object).
    const JsonHandle& events();
    uint32_t counter() const { return counter_; }
    // The run's secrets: no event carries one, and the run cleans its console lines with it.
    SecretCleaner& cleaner() { return cleaner_; }

    void add(const std::string& event_text);

    // A run that loops (a server sending its answer a byte at a time) could otherwise fill the
    // memory and take longer to write its trace than its transfer was allowed.
    static constexpr uint32_t recorded_limit = 10000;
    // The run's end (its outcome and failure text) is kept beyond the limit.
    static constexpr std::size_t kept_last_limit = 100;

private:
    bool enabled_;
    JsonHandle events_;
    uint32_t counter_ = 0;
    // Past the limit: the last events (key and text) and the number of the first left out.
    std::deque<std::pair<std::string, std::string>> last_events_;
    uint32_t first_left_out_ = 0;
    SecretCleaner cleaner_;
};

}  // namespace checker
