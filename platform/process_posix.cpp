#include <unistd.h>

#include "platform/process.h"

namespace platform {

long ProcessId() {
  return static_cast<long>(::getpid());
}

bool IsTerminal(std::FILE* stream) {
  return stream != nullptr && ::isatty(::fileno(stream)) != 0;
}

}  // namespace platform
