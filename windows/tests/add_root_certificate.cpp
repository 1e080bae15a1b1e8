// Test helper for the Wine prefix: adds the certificate in a PEM or DER file to the current
// user's "ROOT" store, so that programs trusting the system's roots trust it.
//
// Usage: add_root_certificate.exe FILE        (status 0 when added, 1 otherwise)
// Built by the Wine tests with the mingw-w64 cross compiler; never run on the host.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct StoreCloser {
    HCERTSTORE store;
    ~StoreCloser() { CertCloseStore(store, 0); }  // the store is saved when it is closed
};

int fail(const char* what) {
    std::fprintf(stderr, "add_root_certificate: %s failed, error %lu\n", what, GetLastError());
    return 1;
}

// PEM text ("-----BEGIN CERTIFICATE-----") becomes DER; anything else is taken as DER already.
bool to_der(const std::string& contents, std::vector<BYTE>& der) {
    if (contents.find("-----BEGIN") == std::string::npos) {
        der.assign(contents.begin(), contents.end());
        return !der.empty();
    }
    DWORD size = 0;
    const auto length = static_cast<DWORD>(contents.size());
    if (!CryptStringToBinaryA(contents.data(), length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
        return false;
    }
    der.resize(size);
    return CryptStringToBinaryA(contents.data(), length, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                                nullptr) != FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: add_root_certificate.exe FILE\n");
        return 1;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file.is_open()) {
        return fail("opening the file");
    }
    const std::string contents((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<BYTE> der;
    if (!to_der(contents, der)) {
        return fail("decoding the certificate");
    }
    const HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT");
    if (store == nullptr) {
        return fail("CertOpenSystemStoreW");
    }
    const StoreCloser closer{store};
    if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
        return fail("CertAddEncodedCertificateToStore");
    }
    std::printf("added %s to the ROOT store\n", argv[1]);
    return 0;
}
