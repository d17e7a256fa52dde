#include <cerrno>
#include <cstring>

#include "platform/error.h"

namespace platform::detail {
namespace {

// strerror_r comes in two forms; overloads pick whichever this C library declares.
[[maybe_unused]] std::string FromStrerror(int result, const char* buffer, int code) {
  if (result != 0) return "Unknown error " + std::to_string(code);
  return buffer;
}
[[maybe_unused]] std::string FromStrerror(const char* text, const char*, int) {
  return text;
}

}  // namespace

std::string SystemErrorText(int code) {
  char buffer[256] = {};
  return FromStrerror(::strerror_r(code, buffer, sizeof buffer), buffer, code);
}

bool IsAlreadyExistsCode(int code) {
  return code == EEXIST;
}

}  // namespace platform::detail
