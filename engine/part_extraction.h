// Writes the parts of the scan list into a package's file folder: stored parts copied, deflated
// parts inflated straight from the package, each checked against its CRC-32. When one name
// (after the safe-path rules) is met more than once, the best copy is kept: whole, then cut
// short, then damaged; a worse copy never replaces, truncates or deletes a better one. Then the
// content types are restored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/job_view.h"
#include "engine/part_entry.h"
#include "platform/file.h"

namespace engine {

// What became of one copy of a part.
enum class PartOutcome {
  kWhole,              // written; its bytes match its CRC-32
  kCutShort,           // written as far as its data survived
  kDamaged,            // written whole, but its bytes do not match its CRC-32 (or none survived)
  kUnsupportedMethod,  // a compression method we cannot decode
  kNoData,             // nothing of its data could be decoded
  kWriteFailed,        // the output could not be written (a full disk, a name the system refuses)
  kNameRefused,        // no safe file name is left of its name
  kFolderBlocked,      // its name clashes with a folder of other parts, or a folder level is a file
  kIdentified,         // its header was destroyed: written under the name its content tells
};
const char* PartOutcomeText(PartOutcome outcome);
// The status a part has in the log for this outcome.
PartStatus StatusOf(PartOutcome outcome);

// The part's place below the file folder: its name split at '\\' and '/', with ':' removed and
// empty, "." and ".." components dropped, so that no name can reach outside the file folder.
// Nothing when no component is left.
std::optional<std::filesystem::path> SafePartPath(std::wstring_view partPath);

// Creates the folders of relativePath below fileFolder, shallowest first. A level that cannot be
// created shows the system's error text through the view and the next level is tried.
// Returns true when the path has at least one folder level.
bool MakePartFolders(JobView& view, const std::filesystem::path& fileFolder,
                     const std::filesystem::path& relativePath);

// Writes one copy of a part from the open package into output (open for writing) and says how
// complete and correct it is.
PartOutcome ExtractPart(platform::File& package, const PartEntry& entry, platform::File& output);

// One output file whose kept copy is not whole, or for which no copy could be written.
struct PartReport {
  std::wstring partPath;
  PartOutcome outcome = PartOutcome::kNoData;
};

struct ExtractionReport {
  std::size_t written = 0;           // output files that hold a copy of a part
  std::vector<PartReport> notWhole;  // in the order the names were first met
  // Parts the pass after extraction wrote (closed, rewritten or built), in package form with
  // '/', other than those already reported cut short or damaged: they are not as recovered.
  std::vector<std::string> rebuilt;
  // File offsets of data found without a header (see orphan_streams.h) that tells no name: left
  // out.
  std::vector<std::uint64_t> unidentified;
};

// Extracts the listed parts into fileFolder, drives the file-progress bar, then restores
// [Content_Types].xml.
ExtractionReport ExtractParts(JobView& view, const std::filesystem::path& fileFolder,
                              std::string_view packagePath, const ScanList& scanList);

}  // namespace engine
