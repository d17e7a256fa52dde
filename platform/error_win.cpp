#include <windows.h>

#include "platform/error.h"
#include "platform/text.h"

namespace platform::detail {

std::string SystemErrorText(int code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) return "Unknown error " + std::to_string(code);
  std::wstring text(buffer, length);
  ::LocalFree(buffer);
  // The system ends its texts with a line break, which a log line or message must not carry.
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  return Utf8FromWide(text);
}

bool IsAlreadyExistsCode(int code) {
  return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
}

}  // namespace platform::detail
