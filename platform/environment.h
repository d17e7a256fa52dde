// The process's environment variables, read and set as UTF-8 texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The value of name; nothing when it is not set.
std::optional<std::string> EnvironmentValue(std::string_view name);
// Sets name to value for this process and the programs it starts.
void SetEnvironmentValue(std::string_view name, std::string_view value);
// Removes name from this process's environment.
void UnsetEnvironmentValue(std::string_view name);

}  // namespace platform
