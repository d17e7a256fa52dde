#include <windows.h>

#include <cstdlib>

#include "platform/environment.h"
#include "platform/text.h"

// The C library keeps its own copy of the environment beside the system's: both are changed,
// so that getenv and the system's own readers (GetTempPathW) agree.
namespace platform {

std::optional<std::string> EnvironmentValue(std::string_view name) {
  const wchar_t* value = ::_wgetenv(WideFromUtf8(name).c_str());
  if (value == nullptr) return std::nullopt;
  return Utf8FromWide(value);
}

void SetEnvironmentValue(std::string_view name, std::string_view value) {
  const std::wstring wideName = WideFromUtf8(name);
  const std::wstring wideValue = WideFromUtf8(value);
  ::_wputenv_s(wideName.c_str(), wideValue.c_str());
  ::SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str());
}

void UnsetEnvironmentValue(std::string_view name) {
  const std::wstring wideName = WideFromUtf8(name);
  ::_wputenv_s(wideName.c_str(), L"");
  ::SetEnvironmentVariableW(wideName.c_str(), nullptr);
}

}  // namespace platform
