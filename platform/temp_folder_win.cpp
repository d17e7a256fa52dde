#include <windows.h>

#include "platform/temp_folder.h"
#include "platform/text.h"

namespace platform {
namespace {

bool Refuse(std::string* error, const std::filesystem::path& path, std::string_view why) {
  detail::RecordFailure(std::string(why));
  if (error) *error = Utf8FromPath(path) + ": " + std::string(why);
  return false;
}

bool RefuseSystem(std::string* error, const std::filesystem::path& path, DWORD code) {
  detail::RecordSystemError(static_cast<int>(code));
  if (error) *error = Utf8FromPath(path) + ": " + detail::SystemErrorText(static_cast<int>(code));
  return false;
}

}  // namespace

std::filesystem::path SystemTempFolder() {
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH + 1) return std::filesystem::path(L"C:\\Windows\\Temp");
  std::filesystem::path folder(std::wstring(buffer, length));
  // GetTempPathW ends the folder with a separator; the callers append names themselves.
  if (folder.has_filename()) return folder;
  return folder.parent_path();
}

std::string_view TempFolderVariable() {
  return "TMP";
}

std::string PrivateTempFolderName() {
  wchar_t name[256 + 1] = {};
  DWORD length = static_cast<DWORD>(std::size(name));
  if (!::GetUserNameW(name, &length) || length == 0) return "brenvik-dotm-repair-user";
  // length counts the terminating zero.
  return "brenvik-dotm-repair-" + Utf8FromWide(std::wstring_view(name, length - 1));
}

bool EnsurePrivateFolder(const std::filesystem::path& path, std::string* error) {
  if (!::CreateDirectoryW(path.c_str(), nullptr)) {
    const DWORD code = ::GetLastError();
    if (code != ERROR_ALREADY_EXISTS) return RefuseSystem(error, path, code);
  }
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return RefuseSystem(error, path, ::GetLastError());
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Refuse(error, path, "not a private folder (a link or a file)");
  }
  return true;
}

}  // namespace platform
