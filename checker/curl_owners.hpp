// Owners of libcurl's global state, multi handle and easy handle, with typed option setters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "support/scoped_resource.hpp"

namespace checker {

// curl_global_init on construction, curl_global_cleanup on destruction.
class CurlGlobal {
public:
    CurlGlobal();
    ~CurlGlobal();
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;
};

struct CurlMultiHandle {
    using Value = CURLM*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { curl_multi_cleanup(value); }
};
struct CurlEasyHandle {
    using Value = CURL*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { curl_easy_cleanup(value); }
};

struct CurlHeaderLines {
    using Value = curl_slist*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { curl_slist_free_all(value); }
};

class CurlMulti {
public:
    // Takes ownership; throws "Invalid 'null' CURLM specified" for null.
    explicit CurlMulti(CURLM* handle);
    CurlMulti(const CurlMulti&) = delete;
    CurlMulti& operator=(const CurlMulti&) = delete;

    CURLM* get() const { return handle_.get(); }
    void set_multi_option(CURLMoption option, uint32_t value);

private:
    ScopedResource<CurlMultiHandle> handle_;
};

// An easy handle that belongs to a multi handle from construction to destruction. The
// destructor removes it from the multi handle before cleaning it up, as libcurl requires;
// the multi handle must outlive it.
class CurlEasy {
public:
    // Takes ownership of the easy handle (also when it throws) and adds it to the multi handle.
    CurlEasy(CurlMulti& multi, CURL* handle);
    ~CurlEasy();
    CurlEasy(const CurlEasy&) = delete;
    CurlEasy& operator=(const CurlEasy&) = delete;

    CURL* get() const { return handle_.get(); }

    // Takes the handle out of the multi handle and puts it back, to run an ended transfer again
    // with other options (the next proxy of a list).
    void detach();
    void attach();

    // 0 is not applied (libcurl keeps its default); above 2147483647 is rejected.
    void set_option_long(CURLoption option, uint32_t value);
    // The same for an option that takes a curl_off_t (the speed limits).
    void set_option_offset(CURLoption option, uint32_t value);
    // One of libcurl's named values (CURL_HTTP_VERSION_1_0...); a failure names the option by name.
    void set_option_constant(CURLoption option, long value, const char* option_name);
    // A callback of the write-function type (body and header data); a failure names the option.
    void set_option_function(CURLoption option, curl_write_callback function, const char* option_name);
    // The same for the TLS context callback (CURLOPT_SSL_CTX_FUNCTION).
    void set_option_function(CURLoption option, curl_ssl_ctx_callback function, const char* option_name);
    void set_option_bool(CURLoption option, bool value);
    // An empty text is not applied.
    void set_option_string(CURLoption option, const std::string& value);
    // Like set_option_string, but a failure shows `shown` instead of the value: a password
    // never appears in a message, nor the password inside an address.
    void set_option_secret(CURLoption option, const std::string& value, const std::string& shown = "(hidden)");
    // Applies the text even when empty: for a proxy or a no-proxy list, empty means none, not
    // libcurl's default from the environment.
    void set_option_text(CURLoption option, const std::string& value);
    // The same with `shown` in a failure text instead of the value (an address with a password).
    void set_option_text(CURLoption option, const std::string& value, const std::string& shown);
    // Sets a text option to null, dropping libcurl's built-in default (such as a CA folder).
    void clear_option_text(CURLoption option);
    // A set of flags such as CURLAUTH_ANY (an unsigned long, which may not fit a long).
    void set_option_flags(CURLoption option, unsigned long value);
    // A null pointer is not applied.
    void set_option_pointer(CURLoption option, void* value);
    // Request header lines ("Name: value") of every later transfer of the handle; the list lives
    // as long as the handle. An empty list sets nothing.
    void set_request_headers(const std::vector<std::string>& lines);
    // -1 when libcurl leaves the value untouched.
    int32_t get_info_long(CURLINFO info) const;
    // The same for a value libcurl gives as a curl_off_t (the _T times).
    int64_t get_info_offset(CURLINFO info) const;

private:
    CurlMulti& multi_;
    // Declared before the handle, so that it is freed after curl_easy_cleanup.
    ScopedResource<CurlHeaderLines> request_headers_;
    ScopedResource<CurlEasyHandle> handle_;
};

}  // namespace checker
