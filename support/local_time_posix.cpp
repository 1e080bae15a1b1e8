// POSIX side of the local-time seam.
#include "local_time.hpp"

namespace checker {
namespace platform {

std::tm local_time_now() {
    std::tm local{};
    const std::time_t now = std::time(nullptr);
    if (now == static_cast<std::time_t>(-1) || ::localtime_r(&now, &local) == nullptr) {
        return std::tm{};
    }
    return local;
}

}  // namespace platform
}  // namespace checker
