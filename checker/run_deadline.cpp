// The one time limit of a run's transfer step.
#include "checker/run_deadline.hpp"

#include <algorithm>

namespace checker {

RunDeadline::RunDeadline(uint32_t limit_millis)
    : limited_(limit_millis != 0),
      end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_millis)) {}

uint32_t RunDeadline::remaining_millis() const {
    if (!limited_) {
        return unlimited_millis;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
    return static_cast<uint32_t>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, unlimited_millis));
}

uint32_t RunDeadline::curl_timeout_millis() const {
    return limited_ ? std::max<uint32_t>(1, remaining_millis()) : 0;
}

}  // namespace checker
