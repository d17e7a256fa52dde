#include "platform/temp_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>
#include <system_error>

namespace platform {
namespace {

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

std::string UserTag() {
#ifdef _WIN32
  return "user";
#else
  return std::to_string(static_cast<unsigned long>(::getuid()));
#endif
}

}  // namespace

std::filesystem::path SystemTempFolder() {
  std::error_code ec;
  auto folder = std::filesystem::temp_directory_path(ec);
  if (ec || folder.empty()) folder = "/tmp";
  return folder;
}

bool EnsurePrivateFolder(const std::filesystem::path& path, std::string* error) {
#ifdef _WIN32
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (!std::filesystem::is_directory(path)) {
    SetError(error, path.string() + ": " + ec.message());
    return false;
  }
  return true;
#else
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    SetError(error, path.string() + ": " + ErrorText(errno));
    return false;
  }
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    SetError(error, path.string() + ": " + ErrorText(errno));
    return false;
  }
  if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode)) {
    SetError(error, path.string() + ": not a private folder (a link or a file)");
    return false;
  }
  if (info.st_uid != ::getuid()) {
    SetError(error, path.string() + ": belongs to another user");
    return false;
  }
  if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
    SetError(error, path.string() + ": " + ErrorText(errno));
    return false;
  }
  return true;
#endif
}

std::optional<std::filesystem::path> PrivateTempFolder(std::string* error) {
  auto folder = SystemTempFolder() / ("brenvik-dotm-repair-" + UserTag());
  if (!EnsurePrivateFolder(folder, error)) return std::nullopt;
  return folder;
}

std::optional<TempFile> CreateTempFile(const std::filesystem::path& folder,
                                       std::string_view prefix) {
  // No folder would mean the current directory, wherever that is.
  if (folder.empty()) return std::nullopt;
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name(prefix);
    auto number = generator();
    for (int digit = 0; digit < 8; ++digit, number >>= 4)
      name += kHex[number & 0xF];
    name += ".tmp";
    TempFile temp;
    temp.path = folder / name;
    if (temp.file.Open(temp.path, File::Mode::kCreateNew)) return temp;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace platform
