// Links every Windows dependency the way the programs do and shows that each one works: a
// JSON document, an option table, the library versions and libcurl's single sign-on features.
// Exit status 3 when libcurl lacks SSPI, NTLM or SPNEGO.
#include <cstdio>
#include <cstdlib>

#include <curl/curl.h>
#include <jansson.h>
#include <openssl/crypto.h>
#include <popt.h>
#include <zlib.h>

int main(int argc, char** argv) {
    json_t* object = json_pack("{s:s, s:i}", "name", "smoke", "answer", 42);
    char* text = json_dumps(object, JSON_COMPACT | JSON_SORT_KEYS);
    int verbose = 0;
    struct poptOption options[] = {
        {"verbose", 'v', POPT_ARG_NONE, &verbose, 0, "talk more", nullptr},
        POPT_AUTOHELP POPT_TABLEEND};
    poptContext context = poptGetContext("smoke", argc, const_cast<const char**>(argv), options, 0);
    while (poptGetNextOpt(context) >= 0) {
    }
    std::printf("curl: %s\n", curl_version());
    std::printf("jansson: %s\n", text != nullptr ? text : "(null)");
    std::printf("zlib: %s\n", zlibVersion());
    std::printf("openssl: %s\n", OpenSSL_version(OPENSSL_VERSION));
    std::printf("popt: ok (verbose=%d)\n", verbose);
    poptFreeContext(context);
    std::free(text);
    json_decref(object);
    // Single sign-on at a proxy needs libcurl's SSPI with both of its schemes.
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    const struct {
        int bit;
        const char* name;
    } wanted[] = {{CURL_VERSION_SSPI, "SSPI"}, {CURL_VERSION_NTLM, "NTLM"}, {CURL_VERSION_SPNEGO, "SPNEGO"}};
    int missing = 0;
    for (const auto& feature : wanted) {
        const bool present = (info->features & feature.bit) != 0;
        std::printf("curl feature %s: %s\n", feature.name, present ? "yes" : "MISSING");
        missing += present ? 0 : 1;
    }
    return missing == 0 ? 0 : 3;
}
