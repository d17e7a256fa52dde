// Paths on Windows: names are UTF-16, and both '\' and '/' separate folders.
#include "platform/text.h"

namespace platform {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(WideFromUtf8(utf8));
}

std::filesystem::path PathFromWide(std::wstring_view wide) {
  return std::filesystem::path(std::wstring(wide));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  return Utf8FromWide(path.native());
}

std::wstring WideFromPath(const std::filesystem::path& path) {
  return path.native();
}

std::string_view FileNamePart(std::string_view path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool EndsWithSeparator(std::string_view path) {
  return path.ends_with('\\') || path.ends_with('/');
}

}  // namespace platform
