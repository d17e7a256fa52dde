// The stored [Content_Types].xml of a macro-enabled template, and putting it in place.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>

namespace engine {

inline constexpr std::size_t kStoredContentTypesSize = 1294;

// The stored document, built into the program from res/.
std::span<const std::byte> StoredContentTypes();

enum class ContentTypesOutcome {
  kKept,        // the package's own document parses and types every part: left byte for byte
  kCompleted,   // the package's own document lacked entries (or was broken): rewritten with them
  kStoredCopy,  // none was recovered and the stored copy types every part: written as it is
  kBuilt,       // none was recovered: the stored copy's entries plus what the parts need
  kNotWritten,  // the folder could not receive one
};

// Makes sure fileFolder/[Content_Types].xml parses and types every part of the tree. The stored
// copy is the base whenever the package's own cannot be read; a small document of the package's
// own is as good as a large one.
ContentTypesOutcome EnsureContentTypes(const std::filesystem::path& fileFolder);

// EnsureContentTypes for the extraction step. Returns 1 when the folder ends up holding a
// content-types file, 0 otherwise; a failed write also empties fileFolder.
int RestoreContentTypes(std::filesystem::path& fileFolder);

}  // namespace engine
