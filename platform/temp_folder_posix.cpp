#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/temp_folder.h"
#include "platform/text.h"

namespace platform {
namespace {

bool Refuse(std::string* error, const std::filesystem::path& path, std::string_view why) {
  detail::RecordFailure(std::string(why));
  if (error) *error = Utf8FromPath(path) + ": " + std::string(why);
  return false;
}

bool RefuseSystem(std::string* error, const std::filesystem::path& path) {
  const int code = errno;
  detail::RecordSystemError(code);
  if (error) *error = Utf8FromPath(path) + ": " + detail::SystemErrorText(code);
  return false;
}

}  // namespace

std::filesystem::path SystemTempFolder() {
  std::error_code ec;
  auto folder = std::filesystem::temp_directory_path(ec);
  if (ec || folder.empty()) folder = "/tmp";
  return folder;
}

std::string_view TempFolderVariable() {
  return "TMPDIR";
}

std::string PrivateTempFolderName() {
  return "brenvik-dotm-repair-" + std::to_string(static_cast<unsigned long>(::getuid()));
}

bool EnsurePrivateFolder(const std::filesystem::path& path, std::string* error) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return RefuseSystem(error, path);
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return RefuseSystem(error, path);
  if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode)) {
    return Refuse(error, path, "not a private folder (a link or a file)");
  }
  if (info.st_uid != ::getuid()) return Refuse(error, path, "belongs to another user");
  if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
    return RefuseSystem(error, path);
  }
  return true;
}

}  // namespace platform
