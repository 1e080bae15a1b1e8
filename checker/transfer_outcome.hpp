// What follows the end of a transfer, decided from how it ended; no sockets involved.
#pragma once

#include <cstdint>
#include <string>

#include <curl/curl.h>

namespace checker {

// How a transfer ended, as libcurl and the callbacks saw it.
struct TransferEnd {
    CURLcode result = CURLE_OK;
    bool headers_received = false;
    int32_t response_code = -1;  // of the last response; -1 before any
    bool deadline_expired = false;
    bool proxy_left = false;  // the proxy list has another entry to try
    bool conditional = false;  // the request carried the stored validators
};

enum class TransferNext {
    next_proxy,      // the proxy in use took no connection: the request again through the next entry
    body_handed_on,  // what arrived goes to the parser; a failure of libcurl's is among the errors
    no_response,     // no header came back ("HTTP connection error")
    error_status,    // the server answered with 400 or above
    not_modified,    // 304 to a request with validators: nothing new, no body to parse
};

// A proxy that refused the connection, whose name was not found, or that took no connection or
// tunnel within the connect time-out (a time-out before the run's deadline) passes on to the next
// entry of the list while time is left; nothing else is tried again.
TransferNext next_after_transfer(const TransferEnd& end);

// What the server said of itself, from the last response's headers; kept by the caller also when
// the transfer fails, for the decision on when to ask again.
struct ServerAnswer {
    bool headers_received = false;
    int32_t response_code = -1;
    // The TLS handshake with the server itself completed (through a proxy: in the tunnel).
    bool server_reached = false;
    bool has_retry_after = false;
    std::string retry_after;
    std::string etag;
    std::string last_modified;
};

// Takes one header line of a response (with its line end) into answer: a status line starts a
// new response and clears what the one before left; Retry-After, ETag and Last-Modified are kept
// (names in any case, values trimmed; a value with control characters is not kept).
void take_header_line(ServerAnswer& answer, const std::string& line);

}  // namespace checker
