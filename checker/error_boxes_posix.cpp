// POSIX side of the error boxes: there are none.
#include "checker/error_boxes.hpp"

namespace checker {

void turn_off_error_boxes() noexcept {}

}  // namespace checker
