// What follows the end of a transfer, decided from how it ended; no sockets involved.
#pragma once

#include <cstdint>

#include <curl/curl.h>

namespace checker {

// How a transfer ended, as libcurl and the callbacks saw it.
struct TransferEnd {
    CURLcode result = CURLE_OK;
    bool headers_received = false;
    int32_t response_code = -1;  // of the last response; -1 before any
    bool deadline_expired = false;
    bool proxy_left = false;  // the proxy list has another entry to try
};

enum class TransferNext {
    next_proxy,      // the proxy in use took no connection: the request again through the next entry
    body_handed_on,  // what arrived goes to the parser; a failure of libcurl's is among the errors
    no_response,     // no header came back ("HTTP connection error")
    error_status,    // the server answered with 400 or above
};

// A proxy that refused the connection, whose name was not found, or that took no connection or
// tunnel within the connect time-out (a time-out before the run's deadline) passes on to the next
// entry of the list while time is left; nothing else is tried again.
TransferNext next_after_transfer(const TransferEnd& end);

}  // namespace checker
