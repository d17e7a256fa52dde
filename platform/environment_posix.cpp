#include <cstdlib>

#include "platform/environment.h"

namespace platform {

std::optional<std::string> EnvironmentValue(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void SetEnvironmentValue(std::string_view name, std::string_view value) {
  ::setenv(std::string(name).c_str(), std::string(value).c_str(), 1);
}

void UnsetEnvironmentValue(std::string_view name) {
  ::unsetenv(std::string(name).c_str());
}

}  // namespace platform
