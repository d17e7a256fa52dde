// What a program asks the system about itself: its process number and whether a standard
// stream is a terminal.
#pragma once

#include <cstdio>

namespace platform {

// This process's number.
long ProcessId();

// True when stream is a terminal that shows ANSI colour and cursor sequences. On Windows a
// console counts when it accepts them (virtual terminal processing, turned on here).
bool IsTerminal(std::FILE* stream);

}  // namespace platform
