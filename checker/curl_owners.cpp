// Owners of libcurl's global state, multi handle and easy handle, with typed option setters.
#include "checker/curl_owners.hpp"

#include <utility>

#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"

namespace checker {
namespace {

std::string option_text(CURLoption option) {
    return to_string(static_cast<int32_t>(option));
}

// A configured number above the range of a signed 32-bit long (Windows' long) is refused.
void require_long_range(CURLoption option, uint32_t value) {
    if (value > 2147483647U) {
        throw CheckerException("Error setting option: [" + option_text(option) + "]," +
                               " to invalid overflow value: [" + to_string(value) + "]");
    }
}

std::string setopt_failure(CURLoption option, const std::string& value) {
    return "Error setting option: [" + option_text(option) + "]," + " to value: [" + value + "]";
}

}  // namespace

CurlGlobal::CurlGlobal() {
    const CURLcode code = curl_global_init(CURL_GLOBAL_ALL);
    if (code != CURLE_OK) {
        throw CheckerException("'curl_global_init' error: [" + std::string(curl_easy_strerror(code)) + "]");
    }
}

CurlGlobal::~CurlGlobal() {
    curl_global_cleanup();
}

CurlMulti::CurlMulti(CURLM* handle) : handle_(handle) {
    if (!handle_.valid()) {
        throw CheckerException("Invalid 'null' CURLM specified");
    }
}

void CurlMulti::set_multi_option(CURLMoption option, uint32_t value) {
    if (curl_multi_setopt(handle_.get(), option, static_cast<long>(value)) != CURLM_OK) {
        throw CheckerException("Error setting multi option: [" + to_string(static_cast<int32_t>(option)) + "]," +
                               " to value: [" + to_string(value) + "]");
    }
}

CurlEasy::CurlEasy(CurlMulti& multi, CURL* handle) : multi_(multi), handle_(handle) {
    if (multi_.get() == nullptr) {
        throw CheckerException("Invalid 'null' CURLM specified");
    }
    if (!handle_.valid()) {
        throw CheckerException("Invalid 'null' CURL specified");
    }
    attach();
}

CurlEasy::~CurlEasy() {
    curl_multi_remove_handle(multi_.get(), handle_.get());
}

void CurlEasy::detach() {
    const CURLMcode code = curl_multi_remove_handle(multi_.get(), handle_.get());
    if (code != CURLM_OK) {
        throw CheckerException("cURL multi_remove error: [" + to_string(static_cast<int32_t>(code)) + "]");
    }
}

void CurlEasy::attach() {
    const CURLMcode code = curl_multi_add_handle(multi_.get(), handle_.get());
    if (code != CURLM_OK) {
        throw CheckerException("cURL multi_add error: [" + to_string(static_cast<int32_t>(code)) + "]");
    }
}

void CurlEasy::set_option_long(CURLoption option, uint32_t value) {
    if (value == 0) {
        return;
    }
    require_long_range(option, value);
    if (curl_easy_setopt(handle_.get(), option, static_cast<long>(value)) != CURLE_OK) {
        throw CheckerException(setopt_failure(option, to_string(value)));
    }
}

void CurlEasy::set_option_offset(CURLoption option, uint32_t value) {
    if (value == 0) {
        return;
    }
    require_long_range(option, value);
    if (curl_easy_setopt(handle_.get(), option, static_cast<curl_off_t>(value)) != CURLE_OK) {
        throw CheckerException(setopt_failure(option, to_string(value)));
    }
}

void CurlEasy::set_option_constant(CURLoption option, long value, const char* option_name) {
    if (curl_easy_setopt(handle_.get(), option, value) != CURLE_OK) {
        throw CheckerException("Error setting option: [" + std::string(option_name) + "]");
    }
}

void CurlEasy::set_option_function(CURLoption option, curl_write_callback function, const char* option_name) {
    if (curl_easy_setopt(handle_.get(), option, function) != CURLE_OK) {
        throw CheckerException("Error setting option: [" + std::string(option_name) + "]");
    }
}

void CurlEasy::set_option_function(CURLoption option, curl_ssl_ctx_callback function, const char* option_name) {
    if (curl_easy_setopt(handle_.get(), option, function) != CURLE_OK) {
        throw CheckerException("Error setting option: [" + std::string(option_name) + "]");
    }
}

void CurlEasy::set_option_bool(CURLoption option, bool value) {
    if (curl_easy_setopt(handle_.get(), option, value ? 1L : 0L) != CURLE_OK) {
        throw CheckerException(setopt_failure(option, to_string(value)));
    }
}

void CurlEasy::set_option_string(CURLoption option, const std::string& value) {
    if (value.empty()) {
        return;
    }
    if (curl_easy_setopt(handle_.get(), option, value.c_str()) != CURLE_OK) {
        throw CheckerException(setopt_failure(option, value));
    }
}

void CurlEasy::set_option_secret(CURLoption option, const std::string& value, const std::string& shown) {
    if (value.empty()) {
        return;
    }
    if (curl_easy_setopt(handle_.get(), option, value.c_str()) != CURLE_OK) {
        throw CheckerException(setopt_failure(option, shown));
    }
}

void CurlEasy::set_option_text(CURLoption option, const std::string& value) {
    set_option_text(option, value, value);
}

void CurlEasy::set_option_text(CURLoption option, const std::string& value, const std::string& shown) {
    if (curl_easy_setopt(handle_.get(), option, value.c_str()) != CURLE_OK) {
        throw CheckerException(setopt_failure(option, shown));
    }
}

void CurlEasy::clear_option_text(CURLoption option) {
    if (curl_easy_setopt(handle_.get(), option, static_cast<const char*>(nullptr)) != CURLE_OK) {
        throw CheckerException("Error setting option: [" + option_text(option) + "]");
    }
}

void CurlEasy::set_option_flags(CURLoption option, unsigned long value) {
    if (curl_easy_setopt(handle_.get(), option, value) != CURLE_OK) {
        throw CheckerException(setopt_failure(option, to_string(static_cast<uint64_t>(value))));
    }
}

void CurlEasy::set_option_pointer(CURLoption option, void* value) {
    if (value == nullptr) {
        return;
    }
    if (curl_easy_setopt(handle_.get(), option, value) != CURLE_OK) {
        throw CheckerException("Error setting option: [" + option_text(option) + "]");
    }
}

void CurlEasy::set_request_headers(const std::vector<std::string>& lines) {
    if (lines.empty()) {
        return;
    }
    ScopedResource<CurlHeaderLines> list;
    for (const std::string& line : lines) {
        // curl_slist_append leaves the list as it was when it fails.
        curl_slist* longer = curl_slist_append(list.get(), line.c_str());
        if (longer == nullptr) {
            throw CheckerException(setopt_failure(CURLOPT_HTTPHEADER, line));
        }
        if (!list.valid()) {
            list = ScopedResource<CurlHeaderLines>(longer);
        }
    }
    const CURLcode code = curl_easy_setopt(handle_.get(), CURLOPT_HTTPHEADER, list.get());
    if (code != CURLE_OK) {
        throw CheckerException(setopt_failure(CURLOPT_HTTPHEADER, lines.front()));
    }
    request_headers_ = std::move(list);
}

int64_t CurlEasy::get_info_offset(CURLINFO info) const {
    curl_off_t value = -1;
    const CURLcode code = curl_easy_getinfo(handle_.get(), info, &value);
    if (code != CURLE_OK) {
        throw CheckerException("cURL curl_easy_getinfo error: [" + to_string(static_cast<int32_t>(code)) + "]," +
                               " option: [" + to_string(static_cast<int32_t>(info)) + "]");
    }
    return static_cast<int64_t>(value);
}

int32_t CurlEasy::get_info_long(CURLINFO info) const {
    long value = -1;
    const CURLcode code = curl_easy_getinfo(handle_.get(), info, &value);
    if (code != CURLE_OK) {
        throw CheckerException("cURL curl_easy_getinfo error: [" + to_string(static_cast<int32_t>(code)) + "]," +
                               " option: [" + to_string(static_cast<int32_t>(info)) + "]");
    }
    return static_cast<int32_t>(value);
}

}  // namespace checker
