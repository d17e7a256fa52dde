// What a program asks the system about itself: its process number and whether a standard
// stream is a terminal.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// The program's arguments after its name, as UTF-8. On Windows they are taken from the wide
// command line, so that any file name arrives whole; main's argv holds them in the ANSI code
// page there.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes the console show UTF-8 text written to the standard streams (Windows; elsewhere
// terminals take UTF-8 already).
void UseUtf8Console();

// This process's number.
long ProcessId();

// True when stream is a terminal that shows ANSI colour and cursor sequences. On Windows a
// console counts when it accepts them (virtual terminal processing, turned on here).
bool IsTerminal(std::FILE* stream);

}  // namespace platform
