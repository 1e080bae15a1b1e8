// The HTTPS download of the DM response: libcurl's multi interface driven by the JSON parser.
#include "checker/http_transfer.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>

#include "checker/certificate_verifier.hpp"
#include "checker/metadata_signature.hpp"
#include "checker/proxy_choice.hpp"
#include "checker/socket_wait.hpp"
#include "checker/system_network.hpp"
#include "checker/transfer_outcome.hpp"
#include "checker/trust_choice.hpp"
#include "checker/url_text.hpp"
#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"
#include "support/file_access.hpp"
#include "support/process.hpp"
#include "support/text_conversion.hpp"

namespace checker {
namespace {

constexpr std::size_t callback_failure = static_cast<std::size_t>(-1);
constexpr long max_select_seconds = 10;
// A minisign signature file is about 300 bytes; more is not a signature.
constexpr uint32_t signature_size_limit = 4096;

// Records what a callback caught; nothing may leave a C callback, not even a failed append.
std::size_t fail_callback(CurlTransfer& transfer, const char* text) noexcept {
    try {
        transfer.record_callback_error(text);
    } catch (...) {
    }
    return callback_failure;
}

std::size_t parser_read_callback(void* buffer, std::size_t length, void* data) {
    CurlTransfer& transfer = *static_cast<CurlTransfer*>(data);
    try {
        return transfer.read_chunk(static_cast<char*>(buffer), length);
    } catch (const std::exception& failure) {
        return fail_callback(transfer, failure.what());
    } catch (...) {
        return fail_callback(transfer, "");
    }
}

std::size_t data_callback(char* data, std::size_t size, std::size_t count, void* user) {
    CurlTransfer& transfer = *static_cast<CurlTransfer*>(user);
    try {
        return transfer.receive_data(data, size, count);
    } catch (const std::exception& failure) {
        return fail_callback(transfer, failure.what());
    } catch (...) {
        return fail_callback(transfer, "");
    }
}

std::size_t header_callback(char* data, std::size_t size, std::size_t count, void* user) {
    CurlTransfer& transfer = *static_cast<CurlTransfer*>(user);
    try {
        transfer.receive_header(data, size * count);
        return size * count;
    } catch (const std::exception& failure) {
        return fail_callback(transfer, failure.what());
    } catch (...) {
        return fail_callback(transfer, "");
    }
}

std::string code_text(int code) {
    return to_string(static_cast<int32_t>(code));
}

// libcurl's text for a result code, then its detail for this transfer when that adds anything
// ("Couldn't resolve host name: Could not resolve host: example.invalid").
std::string transfer_failure_text(CURLcode result, const char* detail) {
    std::string text = curl_easy_strerror(result);
    std::string detail_text = detail;
    while (!detail_text.empty() && (detail_text.back() == '\n' || detail_text.back() == '\r')) {
        detail_text.pop_back();
    }
    if (!detail_text.empty() && detail_text != text) {
        text += ": " + detail_text;
    }
    return text;
}

}  // namespace

SelectWait select_wait_for(long curl_timeout_millis) {
    if (curl_timeout_millis < 0) {
        return {max_select_seconds, 0};
    }
    return {std::min(curl_timeout_millis / 1000, max_select_seconds), (curl_timeout_millis % 1000) * 1000};
}

uint32_t no_socket_sleep_millis(uint32_t fdset_timeout_millis, long curl_timeout_millis) {
    if (curl_timeout_millis < 0) {
        return fdset_timeout_millis;
    }
    return static_cast<uint32_t>(std::min<long long>(fdset_timeout_millis, curl_timeout_millis));
}

CurlTransfer::CurlTransfer(const CheckerConfig& config, Tracer& tracer, const RunDeadline& deadline,
                           VerifierContext& verifier, CurlMulti& multi, CurlEasy& easy, const TransferTarget& target)
    : config_(config),
      tracer_(tracer),
      deadline_(deadline),
      verifier_(verifier),
      multi_(multi),
      easy_(easy),
      target_(target),
      answer_(target.answer != nullptr ? target.answer : &own_answer_) {}

CurlTransfer::~CurlTransfer() {
    if (!tracer_.is_enabled() || body_size_ == 0) {
        return;
    }
    try {
        // A multi-byte character may be cut at the limit; the trace shows such a fragment as
        // U+FFFD, so that tracing never fails a good download.
        trace("EVENT_RESPONSE " + narrow(widen(traced_response_)));
        if (body_size_ > traced_response_.size()) {
            trace("response shown cut, size: [" + to_string(body_size_) + "], shown: [" +
                  to_string(static_cast<uint64_t>(traced_response_.size())) + "]");
        }
    } catch (...) {
        // A destructor lets nothing through; the trace is never the reason a run fails.
    }
}

void CurlTransfer::trace(const std::string& event_text) {
    tracer_.add(event_text);
}

void CurlTransfer::apply_options(const ProxyChoice& proxy) {
    const std::string shown_url = without_user_info(target_.url);
    trace(target_.url_event + (" " + shown_url));
    easy_.set_option_secret(CURLOPT_URL, target_.url, shown_url);
    easy_.set_option_bool(CURLOPT_HTTPGET, true);
    easy_.set_option_pointer(CURLOPT_WRITEDATA, this);
    easy_.set_option_function(CURLOPT_WRITEFUNCTION, data_callback, "CURLOPT_WRITEFUNCTION");
    easy_.set_option_pointer(CURLOPT_HEADERDATA, this);
    easy_.set_option_function(CURLOPT_HEADERFUNCTION, header_callback, "CURLOPT_HEADERFUNCTION");
    easy_.set_request_headers(target_.request_headers);
    if (config_.curl_force_http_10) {
        easy_.set_option_constant(CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0, "CURLOPT_HTTP_VERSION");
    }
    easy_.set_option_bool(CURLOPT_NOPROGRESS, config_.curl_noprogress);
    easy_.set_option_bool(CURLOPT_NOSIGNAL, config_.curl_nosignal);
    easy_.set_option_bool(CURLOPT_TCP_NODELAY, config_.curl_tcp_nodelay);
    // A name lookup still running when the transfer ends (its time ran out) is left behind, not
    // waited for: the threaded resolver would otherwise hold the run for as long as a resolver
    // that never answers takes.
    easy_.set_option_bool(CURLOPT_QUICK_EXIT, true);
    easy_.set_option_long(CURLOPT_CONNECTTIMEOUT_MS, config_.curl_connecttimeout_millis);
    easy_.set_option_long(CURLOPT_BUFFERSIZE, config_.curl_buffersize_bytes);
    easy_.set_option_string(CURLOPT_ACCEPT_ENCODING, config_.curl_accept_encoding);
    easy_.set_option_bool(CURLOPT_FOLLOWLOCATION, config_.curl_followlocation);
    // Only the configured address's scheme, also for redirects: an https address never ends in
    // a fetch in clear, where anyone on the path could hand over a document.
    const std::string scheme = url_scheme(config_.remote_version_url);
    easy_.set_option_string(CURLOPT_PROTOCOLS_STR, scheme);
    easy_.set_option_string(CURLOPT_REDIR_PROTOCOLS_STR, scheme);
    easy_.set_option_long(CURLOPT_MAXREDIRS, config_.curl_maxredirs);
    easy_.set_option_string(CURLOPT_USERAGENT, config_.curl_useragent);
    easy_.set_option_offset(CURLOPT_MAX_SEND_SPEED_LARGE, config_.curl_max_sent_speed_large_bytes_per_second);
    easy_.set_option_offset(CURLOPT_MAX_RECV_SPEED_LARGE, config_.curl_max_recv_speed_large_bytes_per_second);
    easy_.set_option_string(CURLOPT_SSLCERT, config_.curl_sslcert_filename);
    easy_.set_option_string(CURLOPT_SSLCERTTYPE, config_.curl_sslcertype);
    easy_.set_option_string(CURLOPT_SSLKEY, config_.curl_sslkey_filename);
    easy_.set_option_string(CURLOPT_SSLKEYTYPE, config_.curl_ssl_key_type);
    easy_.set_option_secret(CURLOPT_KEYPASSWD, config_.curl_ssl_keypasswd);
    if (config_.curl_require_tls) {
        easy_.set_option_constant(CURLOPT_SSLVERSION, CURL_SSLVERSION_TLSv1, "CURLOPT_SSLVERSION");
    }
    if (config_.curl_ssl_verifyhost) {
        easy_.set_option_long(CURLOPT_SSL_VERIFYHOST, 2);
    } else {
        easy_.set_option_bool(CURLOPT_SSL_VERIFYHOST, false);
    }
    easy_.set_option_bool(CURLOPT_SSL_VERIFYPEER, config_.curl_ssl_verifypeer);
    apply_trust();
    easy_.set_option_string(CURLOPT_CRLFILE, config_.curl_crlfile_filename);
    easy_.set_option_string(CURLOPT_SSL_CIPHER_LIST, config_.curl_ssl_cipher_list);
    apply_proxy(proxy);
    // Set last: libcurl gets what the proxy lookup left of the run's one deadline.
    easy_.set_option_long(CURLOPT_TIMEOUT_MS, deadline_.curl_timeout_millis());
    // libcurl's own words for a failed transfer, read when it ends.
    easy_.set_option_pointer(CURLOPT_ERRORBUFFER, error_detail_.data());
}

void CurlTransfer::apply_trust() {
    switch (choose_trust(config_, system_certificate_verifier_exists())) {
    case Trust::ca_file:
        // A CA file that cannot be read would leave libcurl without the trust it was meant to
        // give; it fails the run here, named, rather than as a certificate problem later.
        open_file(config_.curl_cainfo_filename, "r", 0);
        easy_.set_option_string(CURLOPT_CAINFO, config_.curl_cainfo_filename);
        // The configured file is the only trust: no CA folder of libcurl's build besides it.
        easy_.clear_option_text(CURLOPT_CAPATH);
        break;
    case Trust::system_verifier:
        // The verifier installed below decides; it also judges an HTTPS proxy's certificate
        // (the roots of CURLOPT_PROXY_SSL_OPTIONS then go unused).
        break;
    case Trust::system_roots:
        easy_.set_option_long(CURLOPT_SSL_OPTIONS, static_cast<uint32_t>(system_trust_ssl_options()));
        break;
    }
    // A proxy spoken to over TLS is the user's network's: the system's roots vouch for it.
    easy_.set_option_long(CURLOPT_PROXY_SSL_OPTIONS, static_cast<uint32_t>(system_trust_ssl_options()));
    // libcurl hands every new OpenSSL context, the server's and an HTTPS proxy's, to this one
    // function, which refuses renegotiation and installs the verification callback.
    easy_.set_option_pointer(CURLOPT_SSL_CTX_DATA, &verifier_);
    easy_.set_option_function(CURLOPT_SSL_CTX_FUNCTION, prepare_tls_context, "CURLOPT_SSL_CTX_FUNCTION");
}

void CurlTransfer::apply_proxy(const ProxyChoice& choice) {
    for (const std::string& note : choice.notes) {
        trace(note);
    }
    trace(proxy_event(choice));
    proxy_choice_ = choice;
    // Set even when empty, so that libcurl follows this choice and does not read the
    // environment a second time.
    easy_.set_option_text(CURLOPT_NOPROXY, "");
    use_proxy(choice.proxy);
}

void CurlTransfer::use_proxy(const std::string& proxy) {
    easy_.set_option_text(CURLOPT_PROXY, proxy, without_user_info(proxy));
    const ProxyAuth auth = proxy_auth_for(proxy, proxy_choice_.source, config_, proxy_single_sign_on_available());
    if (auth.credentials == ProxyAuth::Credentials::configured) {
        easy_.set_option_string(CURLOPT_PROXYUSERNAME, config_.curl_proxy_username);
        easy_.set_option_secret(CURLOPT_PROXYPASSWORD, config_.curl_proxy_password);
    } else if (auth.credentials == ProxyAuth::Credentials::logon) {
        // Empty user and password: the current user's logon answers the proxy.
        easy_.set_option_text(CURLOPT_PROXYUSERPWD, ":");
    }
    if (auth.methods != 0) {
        easy_.set_option_flags(CURLOPT_PROXYAUTH, auth.methods);
    }
}

void CurlTransfer::use_next_proxy(CURLcode result) {
    const std::string& next = proxy_choice_.next_proxies[next_proxy_++];
    trace("proxy not reachable: [" + std::string(curl_easy_strerror(result)) + "], next: [" +
          (next.empty() ? "direct" : without_user_info(next)) + "]");
    easy_.detach();
    use_proxy(next);
    easy_.set_option_long(CURLOPT_TIMEOUT_MS, deadline_.curl_timeout_millis());
    error_detail_.fill('\0');
    easy_.attach();
}

void CurlTransfer::fill_buffer() {
    read_pos_ = 0;
    buffer_.clear();
    trace("fill buffer attempt");
    while (running_ && buffer_.empty()) {
        running_ = perform_cycle();
        if (!running_) {
            running_ = follow_transfer_end();
        }
    }
}

bool CurlTransfer::perform_cycle() {
    long curl_timeout = -1;
    const CURLMcode timeout_code = curl_multi_timeout(multi_.get(), &curl_timeout);
    if (timeout_code != CURLM_OK) {
        throw CheckerException("cURL timeout error: [" + code_text(timeout_code) + "]");
    }
    const SelectWait wait = select_wait_for(curl_timeout);

    SocketSets sets{};
    clear_socket_sets(sets);
    int max_descriptor = -1;
    const CURLMcode fdset_code =
        curl_multi_fdset(multi_.get(), &sets.read_set, &sets.write_set, &sets.exception_set, &max_descriptor);
    if (fdset_code != CURLM_OK) {
        throw CheckerException("cURL fdset error: [" + code_text(fdset_code) + "]");
    }
    if (max_descriptor == -1) {
        // No socket yet (for example during name resolution): libcurl needs time, not events,
        // but no more than it asked for; 0 means it wants to be called at once.
        trace("fdset fail, enter sleep branch");
        sleep_millis(no_socket_sleep_millis(config_.curl_fdset_timeout_millis, curl_timeout));
    } else {
        trace("fdset success, performing select");
        if (select_sockets(max_descriptor, sets, wait.seconds, wait.microseconds) == -1) {
            trace("select fail");
            select_failures_.record_failure(last_socket_error());
            return true;
        }
        select_failures_.reset();
    }

    int running_handles = -1;
    const CURLMcode perform_code = curl_multi_perform(multi_.get(), &running_handles);
    if (perform_code != CURLM_OK) {
        throw CheckerException("cURL multi_perform error: [" + code_text(perform_code) + "]");
    }
    trace("perform complete, result: [" + to_string(static_cast<int32_t>(running_handles)) + "]");
    return running_handles == 1;
}

TransferEnd CurlTransfer::read_transfer_end() {
    TransferEnd end;
    int queued = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
        if (message->msg == CURLMSG_DONE) {
            end.result = message->data.result;
            trace("transfer done, result: [" + code_text(end.result) + "]");
        }
    }
    end.headers_received = headers_received_;
    end.response_code = response_code_;
    end.deadline_expired = deadline_.expired();
    end.proxy_left = next_proxy_ < proxy_choice_.next_proxies.size();
    end.conditional = !target_.request_headers.empty();
    return end;
}

bool CurlTransfer::follow_transfer_end() {
    const TransferEnd end = read_transfer_end();
    // Why the verifier refused a chain comes before libcurl's text for the failed handshake.
    const std::string refusals = verifier_.take_refusals();
    const TransferNext next = next_after_transfer(end);
    if (next == TransferNext::next_proxy) {
        use_next_proxy(end.result);
        return true;
    }
    if (end.result != CURLE_OK) {
        record_callback_error(refusals);
        // A write error after a callback failure is that failure, already recorded.
        if (!(end.result == CURLE_WRITE_ERROR && !callback_errors_.empty())) {
            record_callback_error(transfer_failure_text(end.result, error_detail_.data()));
        }
    }
    trace("connection closed, headers: [" + to_string(headers_received_) + "]");
    trace("connection closed, response_code: [" + to_string(response_code_) + "]");
    answer_->headers_received = headers_received_;
    answer_->response_code = response_code_;
    // The handshake with the server itself took place: it took the connection.
    answer_->server_reached = easy_.get_info_offset(CURLINFO_APPCONNECT_TIME_T) > 0;
    switch (next) {
    case TransferNext::no_response:
        throw CheckerException("HTTP connection error");
    case TransferNext::error_status:
        throw CheckerException("HTTP error returned from server, response_code: [" + to_string(response_code_) + "]");
    case TransferNext::not_modified:
        not_modified_ = true;
        trace("document not modified since the last check (304)");
        break;
    case TransferNext::next_proxy:
    case TransferNext::body_handed_on:
        break;
    }
    return false;
}

std::size_t CurlTransfer::read_chunk(char* destination, std::size_t length) {
    trace("response chunk read, size: [" + to_string(static_cast<uint64_t>(length)) + "]");
    if (read_pos_ == buffer_.size()) {
        trace("buffer empty");
        if (!running_) {
            trace("connection closed");
            return 0;
        }
        fill_buffer();
        if (buffer_.empty()) {
            trace("zero read");
            return 0;
        }
    }
    const std::size_t count = std::min<std::size_t>(length, buffer_.size() - read_pos_);
    std::memcpy(destination, buffer_.data() + read_pos_, count);
    read_pos_ += count;
    trace("response chunk read finish, size: [" + to_string(static_cast<uint64_t>(count)) + "]");
    return count;
}

std::size_t CurlTransfer::receive_data(const char* data, std::size_t size, std::size_t count) {
    const std::size_t delivered = size * count;
    if (delivered > config_.curl_max_bufsize_bytes) {
        throw CheckerException("'curl_max_bufsize_bytes' exceeded: [" + to_string(static_cast<uint64_t>(delivered)) +
                               "]");
    }
    total_received_ += delivered;
    if (total_received_ > target_.max_response_size_bytes) {
        throw CheckerException(target_.limit_name + (" exceeded: [" + to_string(total_received_) + "]"));
    }
    if (response_code_ >= 400 || (response_code_ == 304 && !target_.request_headers.empty())) {
        // An error page (or a 304's) is never parsed: otherwise a JSON error body that completes before
        // the transfer ends would pass as a document. The end-of-transfer check reports it.
        trace("error response body skipped, size: [" + to_string(static_cast<uint64_t>(delivered)) + "]");
        return delivered;
    }
    if (target_.body_hash != nullptr) {
        target_.body_hash->update(data, delivered);
    }
    buffer_.append(data, delivered);
    trace("data chunk received, size: [" + to_string(static_cast<uint64_t>(buffer_.size())) + "]");
    if (tracer_.is_enabled()) {
        body_size_ += delivered;
        traced_response_.append(data, std::min(delivered, traced_response_limit - traced_response_.size()));
    }
    return delivered;
}

void CurlTransfer::read_to_end() {
    while (running_) {
        fill_buffer();
    }
    if (!callback_errors_.empty()) {
        throw CheckerException("HTTP connection error: [" + callback_errors_ + "]");
    }
}

void CurlTransfer::receive_header(const char* data, std::size_t length) {
    headers_received_ = true;
    response_code_ = easy_.get_info_long(CURLINFO_RESPONSE_CODE);
    take_header_line(*answer_, std::string(data, length));
}

void CurlTransfer::record_callback_error(const std::string& text) {
    append_failure_line(callback_errors_, text);
}

namespace {

// Parses the document while it arrives; with a hash, receives it to its end so that the hash
// covers every byte. Returns the parsed value before the load hook; none for a 304.
std::optional<JsonHandle> parse_document(const CheckerConfig& config, Tracer& tracer, const RunDeadline& deadline,
                                         VerifierContext& verifier, CurlMulti& multi, const ProxyChoice& proxy,
                                         Blake2bHash* body_hash, const Revalidation& revalidation,
                                         FetchReport& report) {
    CurlEasy easy(multi, curl_easy_init());
    CurlTransfer transfer(config, tracer, deadline, verifier, multi, easy,
                          {config.remote_version_url, "EVENT_URL", config.max_response_size_bytes,
                           "'max_response_size_bytes'", body_hash, &report.answer, revalidation.request_headers});
    transfer.apply_options(proxy);
    tracer.add("curl init complete");

    json_error_t error{};
    json_t* parsed = json_load_callback(parser_read_callback, &transfer, json_parse_flags, &error);
    if (parsed != nullptr) {
        JsonHandle document(parsed);
        if (body_hash != nullptr) {
            transfer.read_to_end();
        }
        return std::optional<JsonHandle>(std::move(document));
    }
    const std::string& callback_errors = transfer.callback_errors();
    if (transfer.not_modified() && callback_errors.empty()) {
        report.not_modified = true;
        return std::nullopt;
    }
    if (!callback_errors.empty() && error.line == 1 && error.column == 0 && error.position == 0) {
        throw CheckerException("HTTP connection error: [" + callback_errors + "]");
    }
    throw CheckerException("Error parsing JSON," + std::string(" text: [") + error.text + "]," + " line: [" +
                           to_string(static_cast<int32_t>(error.line)) + "]," + " column: [" +
                           to_string(static_cast<int32_t>(error.column)) + "]," + " position: [" +
                           to_string(static_cast<int32_t>(error.position)) + "], callback error: [" +
                           callback_errors + "]");
}

// The signature file, fetched under the document's TLS, proxy, trust and deadline rules.
std::string fetch_signature(const CheckerConfig& config, Tracer& tracer, const RunDeadline& deadline,
                            VerifierContext& verifier, CurlMulti& multi, const ProxyChoice& proxy) {
    const std::string url = metadata_signature_url(config);
    try {
        CurlEasy easy(multi, curl_easy_init());
        CurlTransfer transfer(config, tracer, deadline, verifier, multi, easy,
                              {url, "EVENT_SIGNATURE_URL", signature_size_limit, "signature size limit", nullptr});
        transfer.apply_options(proxy);
        std::string text;
        std::array<char, 1024> chunk{};
        try {
            while (const std::size_t count = transfer.read_chunk(chunk.data(), chunk.size())) {
                text.append(chunk.data(), count);
            }
        } catch (const std::exception& failure) {
            if (transfer.callback_errors().empty()) {
                throw;
            }
            // After libcurl's cause ("Resolving timed out ..."), as the document's transfer has it.
            transfer.record_callback_error(failure.what());
        }
        if (!transfer.callback_errors().empty()) {
            throw CheckerException("HTTP connection error: [" + transfer.callback_errors() + "]");
        }
        return text;
    } catch (const std::exception& failure) {
        throw CheckerException("cannot fetch metadata signature, url: [" + without_user_info(url) + "], error: [" +
                               failure.what() + "]");
    }
}

uint64_t unix_time_seconds() {
    const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count());
}

}  // namespace

JsonHandle load_json_from_url(const CheckerConfig& config, Tracer& tracer, const RunDeadline& deadline,
                              const ProxySources& proxy_sources) {
    FetchReport report;
    // An unconditional request is never answered with "not modified".
    std::optional<JsonHandle> document = load_json_from_url(config, tracer, deadline, Revalidation{}, report,
                                                            proxy_sources);
    return std::move(*document);
}

std::optional<JsonHandle> load_json_from_url(const CheckerConfig& config, Tracer& tracer, const RunDeadline& deadline,
                                             const Revalidation& revalidation, FetchReport& report,
                                             const ProxySources& proxy_sources) {
    // Declared in acquisition order, so they are released in reverse: easy handles (removed from
    // the multi handle, then cleaned up), multi handle (and its cached connections, whose OpenSSL
    // contexts hold the verifier's context), the verifier's context, global state.
    const CurlGlobal global;
    VerifierContext verifier(deadline, config.curl_ssl_verifyhost,
                             choose_trust(config, system_certificate_verifier_exists()) == Trust::system_verifier);
    CurlMulti multi(curl_multi_init());
    multi.set_multi_option(CURLMOPT_MAXCONNECTS, config.curl_max_connects);
    // One choice for the run: the signature goes the way the document went, with no second lookup.
    const ProxyChoice proxy = choose_proxy(config, proxy_sources, deadline);
    // The chosen addresses may come from the system's settings or a script, with a password.
    hide_user_info(tracer.cleaner(), proxy.proxy);
    for (const std::string& next : proxy.next_proxies) {
        hide_user_info(tracer.cleaner(), next);
    }
    if (config.metadata_public_keys.empty()) {
        std::optional<JsonHandle> document =
            parse_document(config, tracer, deadline, verifier, multi, proxy, nullptr, revalidation, report);
        if (!document) {
            return std::nullopt;
        }
        return adopt_json(document->release());
    }
    Blake2bHash body_hash;
    std::optional<JsonHandle> document =
        parse_document(config, tracer, deadline, verifier, multi, proxy, &body_hash, revalidation, report);
    const std::string signature = fetch_signature(config, tracer, deadline, verifier, multi, proxy);
    // A 304 never weakens the check: the signature, fetched all the same, must fit the document
    // last verified, and be fresh by the age limit; re-signing the unchanged document shows that.
    if (!document && !revalidation.verified_digest) {
        throw CheckerException("not modified (304), but no verified document is stored");
    }
    const Blake2bDigest digest = document ? body_hash.finish() : *revalidation.verified_digest;
    check_metadata_signature(config, signature, digest, unix_time_seconds(), tracer);
    report.verified_digest = digest;
    if (!document) {
        return std::nullopt;
    }
    return adopt_json(document->release());
}

}  // namespace checker
