// Win32 side of the socket wait: Winsock's select(), reached through <curl/curl.h>'s <winsock2.h>.
#include "checker/socket_wait.hpp"

namespace checker {

int select_sockets(int max_descriptor, SocketSets& sets, long seconds, long microseconds) {
    timeval wait{};
    wait.tv_sec = seconds;
    wait.tv_usec = microseconds;
    // Winsock ignores the first argument; the sets carry their own counts.
    const int result = select(max_descriptor + 1, &sets.read_set, &sets.write_set, &sets.exception_set, &wait);
    return result == SOCKET_ERROR ? -1 : result;
}

uint32_t last_socket_error() {
    return static_cast<uint32_t>(WSAGetLastError());
}

}  // namespace checker
