// The one exception type of both programs: a single UTF-8 message text.
#pragma once

#include <exception>
#include <string>

namespace checker {

class CheckerException : public std::exception {
public:
    explicit CheckerException(const std::string& message) : message_(message) {}
    ~CheckerException() override = default;
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

}  // namespace checker
