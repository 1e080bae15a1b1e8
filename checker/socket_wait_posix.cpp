// POSIX side of the socket wait: select() from <sys/select.h>.
#include "checker/socket_wait.hpp"

#include <cerrno>

#include <sys/select.h>

namespace checker {

int select_sockets(int max_descriptor, SocketSets& sets, long seconds, long microseconds) {
    timeval wait{};
    wait.tv_sec = seconds;
    wait.tv_usec = microseconds;
    return select(max_descriptor + 1, &sets.read_set, &sets.write_set, &sets.exception_set, &wait);
}

uint32_t last_socket_error() {
    return static_cast<uint32_t>(errno);
}

}  // namespace checker
