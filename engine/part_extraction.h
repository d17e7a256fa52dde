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
#include "engine/kept_streams.h"
#include "engine/package_tree_repair.h"
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

// The bytes one copy of a part gave when it was decoded.
struct DecodedBytes {
  std::uint64_t size = 0;  // bytes decoded and written
  std::uint32_t crc = 0;   // their CRC-32
};

// Writes one copy of a part from the open package into output (open for writing) and says how
// complete and correct it is. decoded, when given, receives what was decoded, also when it
// was cut short.
PartOutcome ExtractPart(platform::File& package, const PartEntry& entry, platform::File& output,
                        DecodedBytes* decoded = nullptr);

// What became of a part, for a reader of the repaired package (see FoundPart).
enum class PartFate {
  kWhole,       // recovered as it was: its bytes match its CRC-32
  kPartial,     // cut short: the bytes before the cut are kept
  kDamaged,     // all its bytes are there, but they do not match the CRC-32 (or none survived)
  kLost,        // could not be recovered
  kRebuilt,     // written by the repair (closed, completed or built): not as recovered
  kIdentified,  // recovered by its content under a destroyed header (PartEntry::identified)
};

// How a copy's bytes compare with the CRC-32 its header, descriptor or directory states.
enum class CrcCheck {
  kMatch,
  kMismatch,
  kNoneStated,  // no CRC-32 survived to compare with
  kIncomplete,  // the data is cut short: what was decoded cannot be compared
  kNotDecoded,  // nothing was decoded
};

// One part the scan found, with what its extraction made of it.
struct FoundPart {
  PartEntry entry;  // the scan's evidence, as found
  PartOutcome outcome = PartOutcome::kNoData;
  std::optional<DecodedBytes> decoded;  // nothing when no byte of it was written
  CrcCheck crc = CrcCheck::kNotDecoded;
  // This copy stands for its name: the one kept in the repaired package, or, when no copy of
  // the name could be written, the one whose outcome the log gives. Every name has one.
  bool kept = false;
  // An empty entry named like a folder of other parts: passed over, as it is no part.
  bool folderEntry = false;
  PartFate fate = PartFate::kLost;
};

// A part that the repair wrote, or could not write, with no copy found in the package
// standing for it: content types or relationships built anew, a recovered copy lost.
struct UnfoundPart {
  std::string name;  // package form, '/' between levels
  PartFate fate = PartFate::kRebuilt;
};

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

  // For a report of the run (repair_report.h): every entry of the scan list in its order, the
  // parts named above that no found copy stands for, and what the tree pass did.
  std::vector<FoundPart> found;
  std::vector<UnfoundPart> unfound;
  std::optional<TreeRepairResult> tree;
  // File offsets of data found without a header (see orphan_streams.h) that tells no name: left
  // out.
  std::vector<std::uint64_t> unidentified;
};

// Extracts the listed parts into fileFolder, drives the file-progress bar, then restores
// [Content_Types].xml. A deflated part whose output the scan kept (kept, when given) is moved
// into place from there rather than inflated again. The copies are decoded on threads worker
// threads (0: zip::DeflateThreadCount()); what is written and reported does not depend on it.
ExtractionReport ExtractParts(JobView& view, const std::filesystem::path& fileFolder,
                              std::string_view packagePath, const ScanList& scanList,
                              KeptStreams* kept = nullptr, unsigned threads = 0);

}  // namespace engine
