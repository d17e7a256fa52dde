// Conversions between the text forms the program meets: UTF-8 (our std::string), wide strings
// (part names, one character per name byte) and file-system paths.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// UTF-8 <-> wide. Invalid UTF-8 bytes become U+FFFD; unpaired surrogates are encoded as U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// One character per byte: byte b becomes the character with code b (ISO 8859-1). This is how
// zip entry names are read and written, so that any name byte sequence round-trips.
std::wstring WideFromBytes(std::string_view bytes);
// The inverse; nothing when a character lies above U+00FF.
std::optional<std::string> BytesFromWide(std::wstring_view wide);

// Paths from and to the texts above, in the file system's own encoding (UTF-8 here, UTF-16
// on Windows).
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::filesystem::path PathFromWide(std::wstring_view wide);
std::string Utf8FromPath(const std::filesystem::path& path);
std::wstring WideFromPath(const std::filesystem::path& path);

// The file-name part of a listed path: everything after its last separator ('/' here; '\\'
// and '/' on Windows); the whole text when it has none.
std::string_view FileNamePart(std::string_view path);
// True when a typed path ends with a separator ('/' here; '\\' or '/' on Windows).
bool EndsWithSeparator(std::string_view path);

}  // namespace platform
