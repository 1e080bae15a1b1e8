// The one helper that tests use to see how a call fails.
#pragma once

#include <exception>
#include <string>

namespace support_test {

// The message of the exception that call throws, or "" when it throws none.
template <typename Call>
std::string failure_of(Call call) {
    try {
        call();
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "";
}

}  // namespace support_test
