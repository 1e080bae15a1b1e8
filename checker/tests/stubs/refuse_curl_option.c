/* Preloaded into the checker by tests: libcurl refuses the option whose number is in
 * CHECKER_TEST_REFUSED_OPTION, as it would refuse a value it cannot take, so that the
 * checker's failure message for that option can be seen. Every other call goes through. */
#define _GNU_SOURCE
#define CURL_DISABLE_TYPECHECK
#include <dlfcn.h>
#include <stdarg.h>
#include <stdlib.h>

#include <curl/curl.h>

typedef CURLcode (*setopt_function)(CURL*, CURLoption, ...);

CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    va_list arguments;
    va_start(arguments, option);
    /* Every value the checker passes (long, curl_off_t, pointer) is one 64-bit register. */
    void* value = va_arg(arguments, void*);
    va_end(arguments);
    const char* refused = getenv("CHECKER_TEST_REFUSED_OPTION");
    if (refused != NULL && atol(refused) == (long)option) {
        return CURLE_BAD_FUNCTION_ARGUMENT;
    }
    setopt_function real = (setopt_function)dlsym(RTLD_NEXT, "curl_easy_setopt");
    return real(handle, option, value);
}
