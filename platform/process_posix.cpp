#include <unistd.h>

#include "platform/process.h"

namespace platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  if (argc <= 1 || argv == nullptr) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

void UseUtf8Console() {}

long ProcessId() {
  return static_cast<long>(::getpid());
}

bool IsTerminal(std::FILE* stream) {
  return stream != nullptr && ::isatty(::fileno(stream)) != 0;
}

}  // namespace platform
