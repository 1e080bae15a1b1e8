// POSIX side of the process services: nanosleep, resumed after signals, and getpid.
#include "process.hpp"

#include <cerrno>
#include <ctime>

#include <unistd.h>

namespace checker {

void sleep_millis(uint32_t millis) {
    timespec remaining{static_cast<time_t>(millis / 1000), static_cast<long>(millis % 1000) * 1000000L};
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

uint32_t current_process_id() { return static_cast<uint32_t>(::getpid()); }

}  // namespace checker
