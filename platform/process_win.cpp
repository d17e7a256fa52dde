#include <io.h>
#include <windows.h>

#include "platform/process.h"

namespace platform {

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
