// What follows the end of a transfer.
#include "checker/transfer_outcome.hpp"

#include <algorithm>
#include <cctype>

#include "checker/text_tokens.hpp"

namespace checker {
namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_space(text[begin])) {
        ++begin;
    }
    while (end > begin && is_space(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

bool has_control_character(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7f'; });
}

}  // namespace

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
    if (end.response_code == 304 && end.conditional) {
        return TransferNext::not_modified;
    }
    return TransferNext::body_handed_on;
}

void take_header_line(ServerAnswer& answer, const std::string& line) {
    if (starts_with(line, "HTTP/")) {
        answer.has_retry_after = false;
        answer.retry_after.clear();
        answer.etag.clear();
        answer.last_modified.clear();
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
        return;
    }
    const std::string name = lower_case(trimmed(line.substr(0, colon)));
    const std::string value = trimmed(line.substr(colon + 1));
    if (name == "retry-after") {
        answer.has_retry_after = true;
        answer.retry_after = value;
        return;
    }
    if (has_control_character(value)) {
        return;
    }
    if (name == "etag") {
        answer.etag = value;
    } else if (name == "last-modified") {
        answer.last_modified = value;
    }
}

}  // namespace checker
