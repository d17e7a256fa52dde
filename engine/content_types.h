// The stored [Content_Types].xml of a macro-enabled template, and putting it in place.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>

namespace engine {

inline constexpr std::size_t kStoredContentTypesSize = 1294;

// The stored document, built into the program from res/.
std::span<const std::byte> StoredContentTypes();

// Writes the stored document as fileFolder/[Content_Types].xml unless the file there is at least
// as large. Returns 1 when the folder ends up holding a content-types file, 0 otherwise; a
// failed write also empties fileFolder.
int RestoreContentTypes(std::filesystem::path& fileFolder);

}  // namespace engine
