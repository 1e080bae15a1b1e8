// The one operating-system call of the transfer loop: waiting on the sockets libcurl reports.
//
// Platform seam: socket_wait_posix.cpp uses select() from <sys/select.h>;
// socket_wait_win32.cpp uses Winsock's select() and WSAGetLastError(). fd_set and timeval
// come through <curl/curl.h>, which brings <sys/select.h> or <winsock2.h>.
#pragma once

#include <cstdint>

#include <curl/curl.h>

namespace checker {

// The three descriptor sets that curl_multi_fdset fills.
struct SocketSets {
    fd_set read_set;
    fd_set write_set;
    fd_set exception_set;
};

// Empties all three sets (FD_ZERO is a macro of either platform's socket header).
inline void clear_socket_sets(SocketSets& sets) {
    FD_ZERO(&sets.read_set);
    FD_ZERO(&sets.write_set);
    FD_ZERO(&sets.exception_set);
}

// select() over the sets with the given wait; Winsock ignores max_descriptor. Returns the
// number of ready sockets, 0 when the wait ran out, -1 on failure.
int select_sockets(int max_descriptor, SocketSets& sets, long seconds, long microseconds);

// The error code of the last failed select_sockets (errno / WSAGetLastError), for
// system_error_message.
uint32_t last_socket_error();

}  // namespace checker
