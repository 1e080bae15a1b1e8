// Win32 side of the local-time seam: _time64 and _localtime64_s of the C runtime.
#include <time.h>

#include "local_time.hpp"

namespace checker {
namespace platform {

std::tm local_time_now() {
    std::tm local{};
    const __time64_t now = _time64(nullptr);
    if (now == -1 || _localtime64_s(&local, &now) != 0) {
        return std::tm{};
    }
    return local;
}

}  // namespace platform
}  // namespace checker
