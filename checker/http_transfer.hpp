// The HTTPS download of the DM response: libcurl's multi interface driven by the JSON parser.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "checker/checker_config.hpp"
#include "checker/curl_owners.hpp"
#include "checker/proxy_choice.hpp"
#include "checker/run_deadline.hpp"
#include "checker/select_failure_limit.hpp"
#include "support/json_helpers.hpp"
#include "support/tracer.hpp"

namespace checker {

// How long one cycle waits in select for a libcurl timeout in milliseconds: 10 s when
// libcurl names none (-1), no wait at all for 0 (libcurl wants to be called now), otherwise
// the timeout with its whole seconds capped at 10.
struct SelectWait {
    long seconds;
    long microseconds;
};
SelectWait select_wait_for(long curl_timeout_millis);

// How long a cycle sleeps while libcurl has no socket to wait on: curl_fdset_timeout_millis,
// but never longer than libcurl's own timeout when it names one.
uint32_t no_socket_sleep_millis(uint32_t fdset_timeout_millis, long curl_timeout_millis);

// One transfer: the bytes libcurl delivered in the current fill cycle and the state the
// callbacks collect. Its address is the user pointer of all three callbacks.
class CurlTransfer {
public:
    CurlTransfer(const CheckerConfig& config, Tracer& tracer, const RunDeadline& deadline, CurlMulti& multi,
                 CurlEasy& easy);
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    void apply_options();
    // Runs libcurl cycles until bytes arrived or the transfer ended.
    void fill_buffer();
    // Hands buffered bytes to the parser, filling the buffer when it is empty; 0 at the end.
    std::size_t read_chunk(char* destination, std::size_t length);
    // Takes one delivery of body bytes; throws when a size limit is passed.
    std::size_t receive_data(const char* data, std::size_t size, std::size_t count);
    // Notes that headers arrived and the status libcurl reports for them.
    void receive_header();
    // Run once libcurl reports the end: throws without headers or for status 400 and above.
    void check_connection_closed();

    // Appends a callback's failure text, one per line.
    void record_callback_error(const std::string& text);
    const std::string& callback_errors() const { return callback_errors_; }

    // What the certificate verifier's callback reads: the run's deadline, and whether the
    // certificate must name the host (curl_ssl_verifyhost).
    const RunDeadline& deadline() const { return deadline_; }
    bool checks_host_name() const { return config_.curl_ssl_verifyhost; }

private:
    void trace(const std::string& event_text);
    // CA file, the system's verifier or the system's roots; never two of them.
    void apply_trust();
    // The system's verifier decides about the server's and an HTTPS proxy's certificates.
    void apply_system_verifier();
    void apply_proxy(const ProxyChoice& choice);
    // Reads libcurl's result for the ended transfer; a time-out joins the callback errors.
    void note_transfer_result();

    const CheckerConfig& config_;
    Tracer& tracer_;
    const RunDeadline& deadline_;
    CurlMulti& multi_;
    CurlEasy& easy_;
    std::string buffer_;
    uint64_t read_pos_ = 0;
    bool running_ = true;
    bool headers_received_ = false;
    int32_t response_code_ = -1;
    std::string callback_errors_;
    std::array<char, CURL_ERROR_SIZE> error_detail_{};
    uint64_t total_received_ = 0;
    SelectFailureLimit select_failures_;
};

// Downloads remote_version_url, parsing it while it arrives, and returns the document after
// the load hook (a version-descriptor object). The proxy lookup and the transfer share what is
// left of the deadline.
JsonHandle load_json_from_url(const CheckerConfig& config, Tracer& tracer, const RunDeadline& deadline);

}  // namespace checker
