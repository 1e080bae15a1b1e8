// The HTTPS download of the DM response: libcurl's multi interface driven by the JSON parser.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "checker/certificate_verifier.hpp"
#include "checker/checker_config.hpp"
#include "checker/curl_owners.hpp"
#include "checker/minisign.hpp"
#include "checker/proxy_choice.hpp"
#include "checker/run_deadline.hpp"
#include "checker/select_failure_limit.hpp"
#include "checker/transfer_outcome.hpp"
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

// What one transfer fetches: the address, the event that traces it, the limit on its body and
// the hash that sees every body byte handed on (none for null).
struct TransferTarget {
    std::string url;
    const char* url_event;
    uint32_t max_response_size_bytes;
    // The limit as a failure names it ("'max_response_size_bytes'").
    const char* limit_name;
    Blake2bHash* body_hash;
    // Where the server's answer is kept past the transfer's end (also when it fails); null: not kept.
    ServerAnswer* answer = nullptr;
    // Request header lines; the validators make the request conditional.
    std::vector<std::string> request_headers{};
};

// How much of a response the trace shows.
constexpr std::size_t traced_response_limit = 65536;

// One transfer: the bytes libcurl delivered in the current fill cycle and the state the
// callbacks collect. Its address is the user pointer of all three callbacks.
class CurlTransfer {
public:
    // verifier is the run's: it outlives the multi handle, whose cached connections may call it.
    CurlTransfer(const CheckerConfig& config, Tracer& tracer, const RunDeadline& deadline, VerifierContext& verifier,
                 CurlMulti& multi, CurlEasy& easy, const TransferTarget& target);
    // Traces the response text, once.
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Every option of the transfer, the proxy as chosen for the run.
    void apply_options(const ProxyChoice& proxy);
    // Runs libcurl cycles until bytes arrived or the transfer ended.
    void fill_buffer();
    // Hands buffered bytes to the parser, filling the buffer when it is empty; 0 at the end.
    std::size_t read_chunk(char* destination, std::size_t length);
    // Receives the rest of the body after the parser stopped; throws when it does not arrive whole.
    void read_to_end();
    // Takes one delivery of body bytes; throws when a size limit is passed.
    std::size_t receive_data(const char* data, std::size_t size, std::size_t count);
    // Notes that headers arrived, the status libcurl reports for them and the header line.
    void receive_header(const char* data, std::size_t length);
    // The server answered a conditional request with 304: the transfer ended without a document.
    bool not_modified() const { return not_modified_; }

    // Appends a callback's failure text, one per line.
    void record_callback_error(const std::string& text);
    const std::string& callback_errors() const { return callback_errors_; }

private:
    void trace(const std::string& event_text);
    // CA file, the system's verifier or the system's roots (choose_trust); never two of them.
    void apply_trust();
    void apply_proxy(const ProxyChoice& choice);
    // The proxy (empty: none) and how it is answered when it asks for credentials.
    void use_proxy(const std::string& proxy);
    // One cycle of the multi loop: waits on libcurl's sockets (or sleeps while it has none), then
    // performs; false once the transfer has ended.
    bool perform_cycle();
    // How the ended transfer went (curl_multi_info_read and what the callbacks saw).
    TransferEnd read_transfer_end();
    // Does what next_after_transfer decides for the ended transfer: a failure of libcurl's joins
    // the callback errors; throws without headers or for status 400 and above; true when the
    // transfer started again through the next entry of the proxy list.
    bool follow_transfer_end();
    // Starts the transfer again through the next entry of the proxy list.
    void use_next_proxy(CURLcode result);

    const CheckerConfig& config_;
    Tracer& tracer_;
    const RunDeadline& deadline_;
    VerifierContext& verifier_;
    CurlMulti& multi_;
    CurlEasy& easy_;
    TransferTarget target_;
    std::string buffer_;
    uint64_t read_pos_ = 0;
    bool running_ = true;
    bool headers_received_ = false;
    int32_t response_code_ = -1;
    std::string callback_errors_;
    std::array<char, CURL_ERROR_SIZE> error_detail_{};
    uint64_t total_received_ = 0;
    // The start of the body for the trace, at most traced_response_limit bytes.
    std::string traced_response_;
    uint64_t body_size_ = 0;
    SelectFailureLimit select_failures_;
    ProxyChoice proxy_choice_{"", "none"};
    std::size_t next_proxy_ = 0;  // the entry of proxy_choice_.next_proxies tried next
    ServerAnswer own_answer_;
    ServerAnswer* answer_;  // target_.answer, else own_answer_
    bool not_modified_ = false;
};

// How a check may spare the download: the validators of the document processed last, and, with
// signing on, the digest of the last verified document, which a 304's signature must fit.
struct Revalidation {
    std::vector<std::string> request_headers;  // If-None-Match / If-Modified-Since; none: unconditional
    std::optional<Blake2bDigest> verified_digest;
};

// What a download left besides the document: the server's answer (kept when it fails), whether
// it was a 304, and the digest the signature verified (with signing on).
struct FetchReport {
    ServerAnswer answer;
    bool not_modified = false;
    std::optional<Blake2bDigest> verified_digest;
};

// Downloads remote_version_url, parsing it while it arrives, and returns the document after
// the load hook (a version-descriptor object). The proxy lookup and the transfer share what is
// left of the deadline. With metadata_public_keys set, the document is hashed as it arrives and
// its signature fetched and checked before it is returned; any failure throws.
JsonHandle load_json_from_url(const CheckerConfig& config, Tracer& tracer, const RunDeadline& deadline,
                              const ProxySources& proxy_sources = system_proxy_sources());
// The same, conditional on revalidation's validators: none for a 304 (report.not_modified), whose
// signature, with signing on, is fetched all the same and must verify against the stored digest.
std::optional<JsonHandle> load_json_from_url(const CheckerConfig& config, Tracer& tracer, const RunDeadline& deadline,
                                             const Revalidation& revalidation, FetchReport& report,
                                             const ProxySources& proxy_sources = system_proxy_sources());

}  // namespace checker
