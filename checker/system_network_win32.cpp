// Win32 side of the system's network settings: the Windows root store (libcurl's native CA
// option), the current user's Internet settings and proxy auto-configuration through WinHTTP,
// and SSPI (built into our libcurl) for single sign-on at a proxy.
#include "support/windows_api.hpp"

#include <curl/curl.h>

#include <climits>
#include <cwchar>
#include <memory>
#include <utility>

#include "checker/system_network.hpp"
#include "support/scoped_resource.hpp"
#include "support/text_conversion.hpp"
#include "support/windows_handles.hpp"

namespace checker {
namespace {

// A string that WinHTTP allocated with GlobalAlloc for its caller.
using GlobalTextOwner = ScopedResource<GlobalMemory<LPWSTR>>;

std::string narrow_text(LPCWSTR text) {
    return text == nullptr ? std::string() : narrow(reinterpret_cast<const char16_t*>(text), std::wcslen(text));
}

LPCWSTR wide(const std::u16string& text) {
    return reinterpret_cast<LPCWSTR>(text.c_str());
}

// One automatic-configuration question, shared by the caller and the worker that asks WinHTTP.
// The worker keeps its own reference: it may outlive the caller's wait (Wine's WinHTTP ignores
// its time-outs when the script's server accepts and never answers), and then ends on its own
// or with the process. The answer is written before the event is set and read only after the
// wait saw it set.
struct AutomaticProxyQuery {
    std::u16string url;
    std::u16string script_url;  // empty: automatic detection
    int timeout_millis = 0;
    ScopedResource<KernelHandle> answered{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::optional<std::string> answer;
};

// Asks WinHTTP on the calling thread; nullopt when the script or the detection gives no answer.
std::optional<std::string> ask_winhttp(const AutomaticProxyQuery& query) {
    const ScopedResource<WinHttpHandle> session(
        WinHttpOpen(L"checker", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.valid()) {
        return std::nullopt;
    }
    // Bounds the script's download where WinHTTP honours it; the caller's wait bounds the rest.
    WinHttpSetTimeouts(session.get(), query.timeout_millis, query.timeout_millis, query.timeout_millis,
                       query.timeout_millis);

    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (query.script_url.empty()) {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = wide(query.script_url);
    }
    options.fAutoLogonIfChallenged = TRUE;

    WINHTTP_PROXY_INFO info{};
    const BOOL found = WinHttpGetProxyForUrl(session.get(), wide(query.url), &options, &info);
    const GlobalTextOwner proxy(info.lpszProxy);
    const GlobalTextOwner bypass(info.lpszProxyBypass);
    if (found == FALSE) {
        return std::nullopt;
    }
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
        return narrow_text(proxy.get());
    }
    return std::string();  // the script said DIRECT
}

DWORD WINAPI answer_query(LPVOID parameter) {
    const std::unique_ptr<std::shared_ptr<AutomaticProxyQuery>> owner(
        static_cast<std::shared_ptr<AutomaticProxyQuery>*>(parameter));
    AutomaticProxyQuery& query = **owner;
    try {
        query.answer = ask_winhttp(query);
    } catch (...) {
        query.answer.reset();  // a conversion that failed is no answer
    }
    SetEvent(query.answered.get());
    return 0;
}

}  // namespace

long system_trust_ssl_options() {
    return CURLSSLOPT_NATIVE_CA;
}

InternetSettings current_user_internet_settings() {
    InternetSettings settings;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (WinHttpGetIEProxyConfigForCurrentUser(&config) == FALSE) {
        return settings;
    }
    const GlobalTextOwner auto_config_url(config.lpszAutoConfigUrl);
    const GlobalTextOwner proxy(config.lpszProxy);
    const GlobalTextOwner proxy_bypass(config.lpszProxyBypass);
    try {
        settings.auto_detect = config.fAutoDetect != FALSE;
        settings.auto_config_url = narrow_text(auto_config_url.get());
        settings.proxy = narrow_text(proxy.get());
        settings.proxy_bypass = narrow_text(proxy_bypass.get());
    } catch (...) {
        return {};  // settings that cannot be read are no settings
    }
    return settings;
}

std::optional<std::string> proxy_from_automatic_configuration(const std::string& url, const std::string& script_url,
                                                              uint32_t timeout_millis) {
    try {
        auto query = std::make_shared<AutomaticProxyQuery>();
        query->url = widen(url);
        query->script_url = widen(script_url);
        query->timeout_millis = timeout_millis > INT_MAX ? INT_MAX : static_cast<int>(timeout_millis);
        if (!query->answered.valid()) {
            return std::nullopt;
        }
        auto worker_reference = std::make_unique<std::shared_ptr<AutomaticProxyQuery>>(query);
        const ScopedResource<KernelHandle> worker(
            CreateThread(nullptr, 0, answer_query, worker_reference.get(), 0, nullptr));
        if (!worker.valid()) {
            return std::nullopt;
        }
        static_cast<void>(worker_reference.release());  // the worker owns it now
        // INFINITE is all ones, so the wait is capped just below it.
        const DWORD wait_millis = timeout_millis >= INFINITE ? INFINITE - 1 : timeout_millis;
        if (WaitForSingleObject(query->answered.get(), wait_millis) != WAIT_OBJECT_0) {
            return std::nullopt;  // the worker is left to finish on its own
        }
        return query->answer;
    } catch (...) {
        return std::nullopt;
    }
}

bool proxy_single_sign_on_available() {
    return true;
}

}  // namespace checker
