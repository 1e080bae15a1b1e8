/* Preloaded into the checker by tests: a name lookup of the host in CHECKER_TEST_SLOW_HOST takes
 * CHECKER_TEST_SLOW_SECONDS and then finds nothing, as a resolver that never answers in time
 * would. Every other lookup goes through. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <netdb.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef int (*getaddrinfo_function)(const char*, const char*, const struct addrinfo*, struct addrinfo**);

int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints, struct addrinfo** result) {
    const char* slow_host = getenv("CHECKER_TEST_SLOW_HOST");
    if (node != NULL && slow_host != NULL && strcmp(node, slow_host) == 0) {
        const char* seconds = getenv("CHECKER_TEST_SLOW_SECONDS");
        sleep(seconds != NULL ? (unsigned)atoi(seconds) : 10U);
        return EAI_NONAME;
    }
    getaddrinfo_function real = (getaddrinfo_function)dlsym(RTLD_NEXT, "getaddrinfo");
    return real(node, service, hints, result);
}
