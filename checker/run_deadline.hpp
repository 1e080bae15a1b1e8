// The one time limit of a run's transfer step: proxy lookups, the download and anything fetched
// after it share it, each getting only what is left.
#pragma once

#include <chrono>
#include <cstdint>

namespace checker {

class RunDeadline {
public:
    // Starts now and ends limit_millis later; 0 sets no limit (curl_timeout_millis 0).
    explicit RunDeadline(uint32_t limit_millis);

    // What is left, 0 once the deadline has passed; without a limit, unlimited_millis.
    uint32_t remaining_millis() const;
    bool expired() const { return remaining_millis() == 0; }
    // The value for CURLOPT_TIMEOUT_MS: what is left, at least 1 ms once the deadline has passed
    // (libcurl reads 0 as "no limit"); 0 without a limit.
    uint32_t curl_timeout_millis() const;

    // What remaining_millis gives without a limit: the largest time libcurl takes as a long.
    static constexpr uint32_t unlimited_millis = 2147483647U;

private:
    bool limited_;
    std::chrono::steady_clock::time_point end_;
};

}  // namespace checker
