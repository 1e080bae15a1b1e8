// What follows the end of a transfer.
#include "checker/transfer_outcome.hpp"

namespace checker {

TransferNext next_after_transfer(const TransferEnd& end) {
    // libcurl's own limit is the deadline, started no earlier: a time-out before it is the
    // connect time-out.
    const bool unreachable = end.result == CURLE_COULDNT_CONNECT || end.result == CURLE_COULDNT_RESOLVE_PROXY ||
                             (end.result == CURLE_OPERATION_TIMEDOUT && !end.deadline_expired);
    if (unreachable && !end.headers_received && end.proxy_left && !end.deadline_expired) {
        return TransferNext::next_proxy;
    }
    if (!end.headers_received) {
        return TransferNext::no_response;
    }
    if (end.response_code >= 400) {
        return TransferNext::error_status;
    }
    return TransferNext::body_handed_on;
}

}  // namespace checker
