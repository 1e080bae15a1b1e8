// The console of checker: lines go to the standard output and error streams.
#include "checker/console.hpp"

#include <iostream>

namespace checker {

std::FILE* console_file(ConsoleStream stream) {
    return stream == ConsoleStream::output ? stdout : stderr;
}

void console_line(ConsoleStream stream, const std::string& line, Tracer*) noexcept {
    std::ostream& target = stream == ConsoleStream::output ? std::cout : std::cerr;
    target << line << std::endl;
}

}  // namespace checker
