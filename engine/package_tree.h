// The unpacked package tree of one file folder: its part names and the bytes of each part, as
// the post-extraction repairs see them.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace engine {

// Part names in package form: relative to the file folder, '/' separated, no leading '/'.
// Only regular files count; links and other special files are never parts.
std::set<std::string> ListPackageParts(const std::filesystem::path& fileFolder);

// The whole content of a part, or its first limit bytes; nothing when it cannot be read.
std::optional<std::string> ReadPart(const std::filesystem::path& fileFolder,
                                    std::string_view partName,
                                    std::size_t limit = std::string::npos);

// The local name of the part's root element, read from the part's start (the whole part only
// when its root's start tag does not fit in the first 16 KiB); empty when the part cannot be
// read or does not begin an XML document with a root element.
std::string RootElementOfPart(const std::filesystem::path& fileFolder, std::string_view partName);

// Replaces (or creates) a part with content, through a fresh file so that a half-written part
// never stays behind. Folders on the way are created. Returns false when it could not be written.
bool WritePart(const std::filesystem::path& fileFolder, std::string_view partName,
               std::string_view content);

// Lower-case ASCII copy; part names compare without regard to ASCII case.
std::string AsciiLower(std::string_view text);

// The extension of a part name in lower case, without the dot; empty when there is none.
std::string PartExtension(std::string_view partName);

}  // namespace engine
