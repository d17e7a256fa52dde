#include <io.h>
// <shellapi.h> needs what <windows.h> declares.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/process.h"
#include "platform/text.h"

namespace platform {

std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (words == nullptr) return arguments;
  for (int i = 1; i < count; ++i)
    arguments.push_back(Utf8FromWide(words[i]));
  ::LocalFree(words);
  return arguments;
}

void UseUtf8Console() {
  ::SetConsoleOutputCP(CP_UTF8);
}

long ProcessId() {
  return static_cast<long>(::GetCurrentProcessId());
}

bool IsTerminal(std::FILE* stream) {
  if (stream == nullptr) return false;
  const auto osHandle = ::_get_osfhandle(::_fileno(stream));
  if (osHandle == -1) return false;
  const HANDLE handle = reinterpret_cast<HANDLE>(osHandle);
  DWORD mode = 0;
  if (!::GetConsoleMode(handle, &mode)) return false;
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
  return ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace platform
