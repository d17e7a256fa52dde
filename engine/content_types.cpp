#include "engine/content_types.h"

#include <exception>
#include <string>
#include <system_error>

#include "engine/content_types_builder.h"
#include "engine/package_names.h"
#include "engine/package_tree.h"
#include "engine/part_identity.h"
#include "engine/xml_repair.h"
#include "platform/file.h"

namespace engine {

extern const unsigned char kStoredContentTypesBytes[];
extern const std::size_t kStoredContentTypesBytes_size;

namespace {

std::string_view StoredText() {
  const auto bytes = StoredContentTypes();
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Clears a non-file (a link, a socket) in the content types' place so that ours can go there; a
// link is removed, never followed. A folder stays: nothing can be written in its place.
bool TargetUsable(const std::filesystem::path& target) {
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(target, ec);
  if (ec || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status)) {
    return true;
  }
  if (std::filesystem::is_directory(status)) return false;
  return std::filesystem::remove(target, ec);
}

std::string RootOfPart(const std::filesystem::path& fileFolder, const std::string& part) {
  if (PartExtension(part) != "xml") return {};
  return RootElementOfPart(fileFolder, part);
}

// The entries to build on: the package's own when its document parses; otherwise the stored
// copy, with whatever the damaged one still names and the stored copy lacks.
ContentTypeMap BaseMap(const std::optional<std::string>& existing) {
  if (existing) {
    if (auto own = ParseContentTypes(*existing)) return *own;
  }
  ContentTypeMap base = ParseContentTypes(StoredText()).value_or(ContentTypeMap{});
  if (!existing) return base;
  const auto repaired = RepairCutXml(*existing);
  const auto salvaged = repaired ? ParseContentTypes(*repaired) : std::nullopt;
  if (!salvaged) return base;
  for (const auto& entry : salvaged->defaults) {
    if (!base.Covers("x." + entry.first)) base.defaults.push_back(entry);
  }
  for (const auto& entry : salvaged->overrides) {
    bool known = false;
    for (const auto& own : base.overrides)
      known = known || AsciiLower(own.first) == AsciiLower(entry.first);
    if (!known) base.overrides.push_back(entry);
  }
  return base;
}

}  // namespace

std::span<const std::byte> StoredContentTypes() {
  return {reinterpret_cast<const std::byte*>(kStoredContentTypesBytes),
          kStoredContentTypesBytes_size};
}

ContentTypesOutcome EnsureContentTypes(const std::filesystem::path& fileFolder) {
  if (StoredContentTypes().empty()) return ContentTypesOutcome::kNotWritten;
  const auto target = fileFolder / kContentTypesName;
  if (!TargetUsable(target)) return ContentTypesOutcome::kNotWritten;
  auto parts = ListPackageParts(fileFolder);
  parts.erase(kContentTypesName);
  const auto rootOf = [&](const std::string& part) { return RootOfPart(fileFolder, part); };

  const auto existing = ReadPart(fileFolder, kContentTypesName);
  ContentTypeMap map = BaseMap(existing);
  // Content types outside their namespace (one changed byte of the URI) make a word processor
  // refuse the whole package: their entries are written again under the right one.
  const bool ownParses = existing && ParseContentTypes(*existing).has_value() &&
                         IdentifyContent(*existing).kind == PartKind::kContentTypes;
  const int added = CompleteContentTypes(map, parts, rootOf);
  if (ownParses && added == 0) return ContentTypesOutcome::kKept;
  // With nothing of the package's own to go on and nothing to add, the stored copy goes in as
  // it is, byte for byte.
  const std::string text =
      !existing && added == 0 ? std::string(StoredText()) : WriteContentTypes(map);
  if (!WritePart(fileFolder, kContentTypesName, text)) return ContentTypesOutcome::kNotWritten;
  if (!existing && added == 0) return ContentTypesOutcome::kStoredCopy;
  return existing ? ContentTypesOutcome::kCompleted : ContentTypesOutcome::kBuilt;
}

int RestoreContentTypes(std::filesystem::path& fileFolder) {
  try {
    if (EnsureContentTypes(fileFolder) != ContentTypesOutcome::kNotWritten) return 1;
  } catch (const std::exception&) {
    // Treated as a failed write below.
  }
  fileFolder.clear();
  return 0;
}

}  // namespace engine
