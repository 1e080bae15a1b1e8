// Bounds the run of consecutive select failures so the transfer loop cannot spin forever.
#pragma once

#include <cstdint>

namespace checker {

class SelectFailureLimit {
public:
    static constexpr uint32_t default_limit = 100;

    explicit SelectFailureLimit(uint32_t limit = default_limit) : limit_(limit) {}

    // Counts one more failure in a row; throws "'select' failed repeatedly, count: [N],
    // error: [...]" once the count reaches the limit.
    void record_failure(uint32_t error_code);
    // A successful select ends the run of failures.
    void reset() { consecutive_failures_ = 0; }

private:
    uint32_t limit_;
    uint32_t consecutive_failures_ = 0;
};

}  // namespace checker
