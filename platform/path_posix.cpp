// Paths on POSIX systems: names are bytes, shown and typed as UTF-8.
#include "platform/text.h"

namespace platform {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::string(utf8));
}

std::filesystem::path PathFromWide(std::wstring_view wide) {
  return std::filesystem::path(Utf8FromWide(wide));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  return path.native();
}

std::wstring WideFromPath(const std::filesystem::path& path) {
  return WideFromUtf8(path.native());
}

std::string_view FileNamePart(std::string_view path) {
  const size_t cut = path.rfind('/');
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool EndsWithSeparator(std::string_view path) {
  return path.ends_with('/');
}

}  // namespace platform
