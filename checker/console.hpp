// Where the checker's lines for a person at a prompt go.
//
// Program seam: checker links console_standard.cpp (the standard output and error streams);
// checkerw, the windowless twin that tasks start, links console_windowless.cpp: it has no
// console, so nothing is written and the run's trace carries the line instead.
#pragma once

#include <cstdio>
#include <string>

#include "support/tracer.hpp"

namespace checker {

enum class ConsoleStream { output, error };

// The stream that popt's help and usage texts go to; nullptr where there is no console.
std::FILE* console_file(ConsoleStream stream);

// Shows one line (the line end is added). Where there is no console, the line goes to trace
// when one is given and tracing is on. Never throws.
void console_line(ConsoleStream stream, const std::string& line, Tracer* trace = nullptr) noexcept;

}  // namespace checker
