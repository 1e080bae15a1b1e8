// Bounds the run of consecutive select failures so the transfer loop cannot spin forever.
#include "checker/select_failure_limit.hpp"

#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"
#include "support/system_error.hpp"

namespace checker {

void SelectFailureLimit::record_failure(uint32_t error_code) {
    ++consecutive_failures_;
    if (consecutive_failures_ >= limit_) {
        throw CheckerException("'select' failed repeatedly, count: [" + to_string(consecutive_failures_) + "]," +
                               " error: [" + system_error_message(error_code) + "]");
    }
}

}  // namespace checker
