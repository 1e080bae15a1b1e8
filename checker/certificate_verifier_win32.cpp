// Win32 side of the certificate verifier: from OpenSSL's certificate verification callback, the
// Windows chain engine builds the chain for the peer's certificate (CertGetCertificateChain) and
// the SSL policy judges it (CertVerifyCertificateChainPolicy).
#include "support/windows_api.hpp"

// After <windows.h>: OpenSSL's headers take back the names that wincrypt.h defines as macros.
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "checker/certificate_verifier.hpp"
#include "support/checker_exception.hpp"
#include "support/diagnostic_text.hpp"
#include "support/scoped_resource.hpp"
#include "support/system_error.hpp"
#include "support/text_conversion.hpp"
#include "support/windows_handles.hpp"

namespace checker {
namespace {

// Bytes that OpenSSL allocated for its caller (i2d_X509's output).
struct OpenSslBytes {
    using Value = unsigned char*;
    static Value empty() noexcept { return nullptr; }
    static void close(Value value) noexcept { OPENSSL_free(value); }
};

// Revocation that could not be checked (no CRL or OCSP address, or none answered in time) is
// accepted, as browsers do; a certificate found revoked is not.
constexpr DWORD unchecked_revocation = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
// The SSL policy's errors for such a revocation check.
constexpr HRESULT unchecked_revocation_errors[] = {CRYPT_E_NO_REVOCATION_CHECK, CRYPT_E_REVOCATION_OFFLINE,
                                                   CERT_E_REVOCATION_FAILURE};
// SECURITY_FLAG_IGNORE_REVOCATION of the SSL policy (declared in wininet.h, not in wincrypt.h).
constexpr DWORD policy_ignores_revocation = 0x00000080;

std::string system_failure(const std::string& what) {
    return what + ", error: [" + system_error_message(last_system_error()) + "]";
}

// Adds one certificate the peer sent to store; returns the store's context of it.
ScopedResource<CertificateContext> add_to_store(HCERTSTORE store, X509* certificate) {
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    const ScopedResource<OpenSslBytes> der_owner(der);
    if (length <= 0) {
        throw CheckerException("Cannot encode a certificate the peer sent");
    }
    PCCERT_CONTEXT added = nullptr;
    if (CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der, static_cast<DWORD>(length),
                                         CERT_STORE_ADD_USE_EXISTING, &added) == FALSE) {
        throw CheckerException(system_failure("Cannot read a certificate the peer sent"));
    }
    return ScopedResource<CertificateContext>(added);
}

// One chain build, shared by the verifier and the worker thread that runs it: each holds a
// reference, so a worker that outlives the wait still has its certificates.
struct ChainQuery {
    ScopedResource<CertificateStore> sent;
    ScopedResource<CertificateContext> peer;
    DWORD timeout_millis = 0;
    ScopedResource<KernelHandle> built{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ScopedResource<ChainContext> chain;
    uint32_t error = 0;
};

DWORD WINAPI build_chain_on_worker(LPVOID parameter) {
    const std::unique_ptr<std::shared_ptr<ChainQuery>> owner(static_cast<std::shared_ptr<ChainQuery>*>(parameter));
    ChainQuery& query = **owner;
    LPSTR server_authentication[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof(parameters);
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = server_authentication;
    parameters.dwUrlRetrievalTimeout = query.timeout_millis;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (CertGetCertificateChain(nullptr, query.peer.get(), nullptr, query.sent.get(), &parameters,
                                CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                                    CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT,
                                nullptr, &chain) == FALSE) {
        query.error = last_system_error();
    }
    query.chain.reset(chain);
    SetEvent(query.built.get());
    return 0;
}

// The chain engine's chain for the peer's certificate, with the other certificates it sent as
// candidates for the intermediates. Each of its fetches (issuers, roots) ends after
// timeout_millis, the revocation fetches (CRLs, OCSP) all together; 0 is the system's default.
// The build runs on a worker thread that is waited for no longer than wait_millis: Wine ignores
// those time-outs, and a fetch from a server that never answers would hold the run.
ScopedResource<ChainContext> build_chain(X509_STORE_CTX* store_context, DWORD timeout_millis, DWORD wait_millis) {
    auto query = std::make_shared<ChainQuery>();
    query->timeout_millis = timeout_millis;
    query->sent.reset(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    if (!query->sent.valid() || !query->built.valid()) {
        throw CheckerException(system_failure("Cannot open a certificate store"));
    }
    query->peer = add_to_store(query->sent.get(), X509_STORE_CTX_get0_cert(store_context));
    const STACK_OF(X509)* others = X509_STORE_CTX_get0_untrusted(store_context);
    for (int index = 0; index < sk_X509_num(others); ++index) {
        static_cast<void>(add_to_store(query->sent.get(), sk_X509_value(others, index)));
    }

    auto worker_reference = std::make_unique<std::shared_ptr<ChainQuery>>(query);
    const ScopedResource<KernelHandle> worker(
        CreateThread(nullptr, 0, build_chain_on_worker, worker_reference.get(), 0, nullptr));
    if (!worker.valid()) {
        throw CheckerException(system_failure("Cannot start building the certificate chain"));
    }
    static_cast<void>(worker_reference.release());  // the worker owns it now
    // INFINITE is all ones, so the wait is capped just below it.
    if (WaitForSingleObject(query->built.get(), std::min<DWORD>(wait_millis, INFINITE - 1)) != WAIT_OBJECT_0) {
        // The worker is left to finish on its own.
        throw CheckerException("Certificate chain not built within the time limit, milliseconds: [" +
                               to_string(uint32_t{wait_millis}) + "]");
    }
    if (!query->chain.valid()) {
        throw CheckerException("Cannot build the certificate chain, error: [" + system_error_message(query->error) +
                               "]");
    }
    return std::move(query->chain);
}

// The SSL policy's error for the chain and host_name (empty: the name is not checked), 0 when
// it passes. Revocation is left to the chain's trust status: Wine's policy reports a revocation
// that could not be checked before a wrong name, and would hide it.
DWORD policy_error(PCCERT_CHAIN_CONTEXT chain, const std::string& host_name) {
    std::u16string wide_host_name = widen(host_name);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA server{};
    server.cbSize = sizeof(server);
    server.dwAuthType = AUTHTYPE_SERVER;
    server.fdwChecks = policy_ignores_revocation;
    if (host_name.empty()) {
        server.fdwChecks |= SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    } else {
        server.pwszServerName = reinterpret_cast<WCHAR*>(wide_host_name.data());
    }
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    policy.pvExtraPolicyPara = &server;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    if (CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) == FALSE) {
        throw CheckerException(system_failure("Cannot check the certificate chain"));
    }
    for (const HRESULT unchecked : unchecked_revocation_errors) {
        if (status.dwError == static_cast<DWORD>(unchecked)) {
            return 0;
        }
    }
    return status.dwError;
}

// The code of the refusal, 0 when the chain is trusted: revoked first, then the policy's error,
// else the code Windows gives for the chain's first error bit (both are checked: Wine's policy
// check passes a partial chain that Windows refuses).
DWORD refusal_code(DWORD trust_errors, DWORD policy_code) {
    const DWORD errors = trust_errors & ~unchecked_revocation;
    if ((errors & CERT_TRUST_IS_REVOKED) != 0) {
        return static_cast<DWORD>(CRYPT_E_REVOKED);
    }
    if (policy_code != 0) {
        return policy_code;
    }
    struct TrustError {
        DWORD bit;
        HRESULT code;
    };
    static constexpr TrustError known_errors[] = {
        {CERT_TRUST_IS_EXPLICIT_DISTRUST, TRUST_E_EXPLICIT_DISTRUST},
        {CERT_TRUST_IS_NOT_TIME_VALID, CERT_E_EXPIRED},
        {CERT_TRUST_IS_UNTRUSTED_ROOT, CERT_E_UNTRUSTEDROOT},
        {CERT_TRUST_IS_PARTIAL_CHAIN, CERT_E_CHAINING},
        {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, CERT_E_WRONG_USAGE},
    };
    for (const TrustError& known : known_errors) {
        if ((errors & known.bit) != 0) {
            return static_cast<DWORD>(known.code);
        }
    }
    return errors != 0 ? static_cast<DWORD>(TRUST_E_FAIL) : 0;
}

// The refusal in a deployer's words.
std::string refusal_cause(DWORD code, const std::string& host_name) {
    switch (static_cast<HRESULT>(code)) {
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING:
        return "certificate chain ends in an untrusted root";
    case CRYPT_E_REVOKED:
        return "the certificate was revoked";
    case CERT_E_CN_NO_MATCH:
        return "the certificate is not valid for host: [" + host_name + "]";
    case CERT_E_EXPIRED:
        return "the certificate has expired";
    case TRUST_E_EXPLICIT_DISTRUST:
        return "the certificate is distrusted on this computer";
    case CERT_E_WRONG_USAGE:
        return "the certificate is not valid for server authentication";
    default:
        return "the certificate chain is not trusted";
    }
}

// The host name libcurl checks, as it sent it for SNI; empty when names are not checked, and for
// an IP address (no SNI then: libcurl compares the address with the certificate itself).
std::string checked_host_name(X509_STORE_CTX* store_context, bool check_host_name) {
    if (!check_host_name) {
        return std::string();
    }
    const auto* connection =
        static_cast<const SSL*>(X509_STORE_CTX_get_ex_data(store_context, SSL_get_ex_data_X509_STORE_CTX_idx()));
    const char* name = connection == nullptr ? nullptr : SSL_get_servername(connection, TLSEXT_NAMETYPE_host_name);
    return name == nullptr ? std::string() : std::string(name);
}

// The refusal of the peer's chain as the checker reports it; empty when Windows trusts it.
std::string chain_refusal(X509_STORE_CTX* store_context, const VerifierContext& context) {
    const std::string host_name = checked_host_name(store_context, context.checks_host_name());
    // What is left of the run's deadline; 0 (the system's default) only when the run has none.
    const ScopedResource<ChainContext> chain =
        build_chain(store_context, context.deadline().curl_timeout_millis(), context.deadline().remaining_millis());
    const DWORD trust_errors = chain.get()->TrustStatus.dwErrorStatus;
    const DWORD code = refusal_code(trust_errors, policy_error(chain.get(), host_name));
    if (code == 0) {
        return std::string();
    }
    // The chain's error bits (CERT_TRUST_*) too, for support: the policy may name only one cause.
    return "Certificate refused by Windows: [" + refusal_cause(code, host_name) + "], error: [" +
           system_error_message(code) + "], trust status: [" + to_string(uint32_t{trust_errors}) + "]";
}

// Records why the chain is refused and fails OpenSSL's verification; never throws.
int refuse_chain(X509_STORE_CTX* store_context, VerifierContext& context, const char* text) noexcept {
    context.record_refusal(text);
    X509_STORE_CTX_set_error(store_context, X509_V_ERR_APPLICATION_VERIFICATION);
    return 0;
}

// OpenSSL's certificate verification callback: 1 when Windows trusts the peer's chain.
int verify_chain(X509_STORE_CTX* store_context, void* user) {
    VerifierContext& context = *static_cast<VerifierContext*>(user);
    try {
        const std::string refusal = chain_refusal(store_context, context);
        if (refusal.empty()) {
            X509_STORE_CTX_set_error(store_context, X509_V_OK);
            return 1;
        }
        return refuse_chain(store_context, context, refusal.c_str());
    } catch (const std::exception& failure) {
        return refuse_chain(store_context, context, failure.what());
    } catch (...) {
        return refuse_chain(store_context, context, "");
    }
}

}  // namespace

bool system_certificate_verifier_exists() {
    return true;
}

namespace platform {

// Without the system's verdict (a CA file, a revocation list), OpenSSL's own verification stays.
void install_certificate_verifier(void* ssl_context, VerifierContext& context) {
    if (context.system_decides()) {
        SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(ssl_context), verify_chain, &context);
    }
}

}  // namespace platform

}  // namespace checker
