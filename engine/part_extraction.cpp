#include "engine/part_extraction.h"

#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <system_error>
#include <vector>

#include "engine/orphan_streams.h"
#include "engine/package_names.h"
#include "engine/package_tree_repair.h"
#include "engine/part_stager.h"
#include "platform/file.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "zip/deflate_threads.h"
#include "zip/part_inflater.h"

namespace engine {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCopyPiece = 256 * 1024;

// The package read at 64-bit offsets; sequential reads, the common case, need no seek.
class FileSource : public zip::ByteSource {
 public:
  explicit FileSource(platform::File& file) : file_(file) {}
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset != position_) {
      if (!file_.Seek(offset)) {
        position_ = UINT64_MAX;
        return 0;
      }
      position_ = offset;
    }
    const std::int64_t got = file_.Read(std::as_writable_bytes(out));
    if (got <= 0) {
      position_ = UINT64_MAX;
      return 0;
    }
    position_ += static_cast<std::uint64_t>(got);
    return static_cast<std::size_t>(got);
  }

 private:
  platform::File& file_;
  std::uint64_t position_ = UINT64_MAX;
};

bool WritePiece(platform::File& output, std::span<const std::uint8_t> piece) {
  return output.Write(std::as_bytes(piece));
}

PartOutcome Checked(const PartEntry& entry, std::uint32_t crc) {
  return entry.crc && *entry.crc == crc ? PartOutcome::kWhole : PartOutcome::kDamaged;
}

PartOutcome CopyStored(platform::File& package, const PartEntry& entry, platform::File& output,
                       DecodedBytes& decoded) {
  const std::int64_t size = package.Size();
  if (size < 0) return PartOutcome::kNoData;
  const auto fileSize = static_cast<std::uint64_t>(size);
  const std::uint64_t available =
      entry.dataOffset >= fileSize
          ? 0
          : std::min<std::uint64_t>(entry.compressedSize, fileSize - entry.dataOffset);
  FileSource source(package);
  const auto piece = std::make_unique_for_overwrite<std::uint8_t[]>(kCopyPiece);
  std::uint32_t crc = 0;
  std::uint64_t copied = 0;
  while (copied < available) {
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kCopyPiece, available - copied));
    const std::size_t got = source.ReadAt(entry.dataOffset + copied, {piece.get(), want});
    if (got == 0) break;
    const std::span<const std::uint8_t> bytes(piece.get(), got);
    if (!WritePiece(output, bytes)) return PartOutcome::kWriteFailed;
    crc = zip::Crc32(crc, bytes);
    copied += got;
  }
  decoded = {copied, crc};
  if (copied < entry.compressedSize || entry.status == PartStatus::kCutShort) {
    return copied == 0 ? PartOutcome::kNoData : PartOutcome::kCutShort;
  }
  return Checked(entry, crc);
}

PartOutcome InflatedOutcome(const PartEntry& entry, const zip::PartInflateResult& result) {
  switch (result.end) {
    case zip::InflateEnd::kStreamEnd:
      return Checked(entry, result.crc);
    case zip::InflateEnd::kOutputRefused:
      return PartOutcome::kWriteFailed;
    case zip::InflateEnd::kCorrupt:
    case zip::InflateEnd::kCutShort:
    case zip::InflateEnd::kNoMemory:
      break;
  }
  return result.produced > 0 ? PartOutcome::kCutShort : PartOutcome::kNoData;
}

PartOutcome Inflate(platform::File& package, const PartEntry& entry, platform::File& output,
                    DecodedBytes& decoded) {
  const std::int64_t size = package.Size();
  if (size < 0 || entry.dataOffset >= static_cast<std::uint64_t>(size)) return PartOutcome::kNoData;
  FileSource source(package);
  // From the data offset to the end of the stream, within the byte range the scan gave the
  // part: a stream still running there is cut, and what follows belongs to the next record.
  const std::uint64_t limit = std::min<std::uint64_t>(
      entry.compressedSize, static_cast<std::uint64_t>(size) - entry.dataOffset);
  const auto result = zip::InflatePart(
      source, entry.dataOffset, limit,
      [&output](std::span<const std::uint8_t> piece) { return WritePiece(output, piece); });
  decoded = {result.produced, result.crc};
  return InflatedOutcome(entry, result);
}

struct PartFolders {
  bool hasFolders = false;  // the part path has at least one folder level
  bool ready = true;        // every level is a real folder (never a link) we may write into
};

// Creates one folder level. A level that exists must be a real folder: a link planted there
// would lead our writes out of the file folder, and a file cannot hold the part.
bool MakeFolderLevel(JobView& view, const fs::path& level, bool& stopDescending) {
  std::error_code ec;
  const auto status = fs::symlink_status(level, ec);
  std::error_code error;
  if (fs::is_symlink(status)) {
    error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    stopDescending = true;
  } else if (fs::exists(status)) {
    if (fs::is_directory(status)) return true;
    error = std::make_error_code(std::errc::not_a_directory);
    stopDescending = true;
  } else if (!fs::create_directory(level, ec) && ec) {
    error = ec;
  } else {
    return true;
  }
  view.MessageBox(platform::ErrorText(error), kAppCaption, kMbIconInformation);
  return false;
}

PartFolders PreparePartFolders(JobView& view, const fs::path& fileFolder,
                               const fs::path& relativePath) {
  PartFolders result;
  fs::path level = fileFolder;
  for (const auto& component : relativePath.parent_path()) {
    result.hasFolders = true;
    level /= component;
    bool stopDescending = false;
    if (!MakeFolderLevel(view, level, stopDescending)) result.ready = false;
    // Below a link or a file, every further level would go through it.
    if (stopDescending) break;
  }
  return result;
}

int Rank(PartOutcome outcome) {
  switch (outcome) {
    case PartOutcome::kWhole:
      return 3;
    case PartOutcome::kCutShort:
      return 2;
    case PartOutcome::kDamaged:
      return 1;
    default:
      return 0;
  }
}

// The scan may know a whole copy to be damaged all the same (a name that may not be its own).
PartOutcome AsTheScanKnowsIt(const PartEntry& entry, PartOutcome outcome) {
  if (outcome == PartOutcome::kWhole && entry.status == PartStatus::kDamaged) {
    return PartOutcome::kDamaged;
  }
  return outcome;
}

// What extraction does with one entry of the scan list.
struct ExtractionStep {
  enum class Kind {
    kNone,   // nothing: an empty entry that is only a folder of other parts
    kNote,   // no copy can be written; outcome says why
    kWrite,  // a copy is written to outputPath
  };
  Kind kind = Kind::kNone;
  PartEntry entry;
  std::wstring key;  // the output's name
  PartOutcome outcome = PartOutcome::kNoData;
  fs::path outputPath;
  std::optional<std::size_t> job;  // the copy's place among the staged ones
};

ExtractionStep NotedStep(const PartEntry& entry, std::wstring key, PartOutcome why) {
  return {
      .kind = ExtractionStep::Kind::kNote, .entry = entry, .key = std::move(key), .outcome = why};
}

// The copy that stands in an output file so far.
struct KeptCopy {
  PartOutcome outcome = PartOutcome::kNoData;
  std::wstring partPath;
  bool inCentralDirectory = false;
  std::uint64_t size = 0;
  std::size_t index = 0;  // the copy's place in the scan list
};

// What one copy of the scan list came to, for the report.
struct CopyFacts {
  PartOutcome outcome = PartOutcome::kNoData;
  std::optional<DecodedBytes> decoded;
};

bool Beats(PartOutcome outcome, bool inCentralDirectory, std::uint64_t size, const KeptCopy& kept) {
  const int rank = Rank(outcome);
  if (rank == 0) return false;
  if (rank != Rank(kept.outcome)) return rank > Rank(kept.outcome);
  // Equal copies: the one the package's own directory lists, then the longer cut copy.
  if (inCentralDirectory != kept.inCentralDirectory) return inCentralDirectory;
  return outcome == PartOutcome::kCutShort && size > kept.size;
}

// The output names of the listed parts, with the names that clash with a folder of others
// marked: a name that is a file for one part and a folder for others is a folder (some writers
// store folders as entries without the trailing separator), except the content types, which
// always stay a file.
class OutputPlan {
 public:
  explicit OutputPlan(const ScanList& scanList) {
    for (const auto& entry : scanList) {
      auto relative = SafePartPath(entry.partPath);
      paths_.push_back(relative);
      if (!relative) continue;
      files_.insert(relative->generic_string());
      fs::path folder;
      for (const auto& component : relative->parent_path()) {
        folder /= component;
        ++filesBelow_[folder.generic_string()];
      }
    }
  }

  const std::optional<fs::path>& PathOf(std::size_t i) const { return paths_[i]; }

  // True when the name of part i is a folder of other parts: an empty one is that folder's
  // own entry, to be passed over without a word.
  bool IsFolderOfOthers(std::size_t i) const {
    return paths_[i] && FolderWins(paths_[i]->generic_string());
  }

  bool Blocked(std::size_t i) const {
    const auto& relative = paths_[i];
    if (!relative) return false;
    const std::string key = relative->generic_string();
    if (FolderWins(key)) return true;  // this file name is a folder of other parts
    fs::path folder;
    for (const auto& component : relative->parent_path()) {
      folder /= component;
      if (files_.contains(folder.generic_string()) && !FolderWins(folder.generic_string())) {
        return true;  // a folder level of this name is kept as a file
      }
    }
    return false;
  }

 private:
  bool FolderWins(const std::string& key) const {
    const auto below = filesBelow_.find(key);
    if (below == filesBelow_.end() || !files_.contains(key)) return false;
    return key != kContentTypesName && below->second > 0;
  }

  std::vector<std::optional<fs::path>> paths_;
  std::set<std::string> files_;
  std::map<std::string, std::size_t> filesBelow_;  // parts below each folder name
};

// A copy is written to a new temporary file beside its output and renamed onto the output only
// when it beats the copy there; otherwise it goes and the output stays as it was.
class Extractor {
 public:
  Extractor(JobView& view, const fs::path& fileFolder, KeptStreams* kept)
      : view_(view), fileFolder_(fileFolder), keptStreams_(kept) {}

  // What to do with the entry at index of the scan list, decided before any copy is written so
  // that the copies to stage are known at once. Folders on the way are made here, in list order.
  ExtractionStep Plan(const PartEntry& entry, const std::optional<fs::path>& relative,
                      bool blocked) {
    if (!relative) return NotedStep(entry, entry.partPath, PartOutcome::kNameRefused);
    std::wstring key = platform::WideFromPath(*relative);
    if (blocked) return NotedStep(entry, key, PartOutcome::kFolderBlocked);
    if (entry.status == PartStatus::kLost) {
      const bool known = entry.method == kMethodStored || entry.method == kMethodDeflated;
      return NotedStep(entry, key, known ? PartOutcome::kNoData : PartOutcome::kUnsupportedMethod);
    }
    if (!PreparePartFolders(view_, fileFolder_, *relative).ready) {
      return NotedStep(entry, key, PartOutcome::kFolderBlocked);
    }
    return {.kind = ExtractionStep::Kind::kWrite,
            .entry = entry,
            .key = std::move(key),
            .outputPath = fileFolder_ / *relative};
  }

  // True when the scan kept the inflated output of this copy: it is put in place, not staged.
  bool HasKeptStream(const PartEntry& entry) const {
    return keptStreams_ != nullptr && entry.method == kMethodDeflated &&
           keptStreams_->Has(entry.dataOffset, entry.compressedSize);
  }

  // Carries out the step in list order; stage gives the copy's staged output when it is to be
  // written.
  template <typename Stage>
  void Settle(std::size_t index, const ExtractionStep& step, Stage&& stage) {
    if (copies_.size() <= index) copies_.resize(index + 1);
    switch (step.kind) {
      case ExtractionStep::Kind::kNone:
        return;
      case ExtractionStep::Kind::kNote:
        Note(index, step.key, step.entry.partPath, step.outcome);
        return;
      case ExtractionStep::Kind::kWrite:
        if (!PlaceKept(index, step.key, step.entry, step.outputPath)) {
          Write(index, step.key, step.entry, step.outputPath, stage());
        }
        return;
    }
  }

  // found: one item per entry of the scan list, with the entry already in it.
  ExtractionReport Report(std::vector<FoundPart> found) const {
    ExtractionReport report;
    for (const auto& key : order_) {
      const KeptCopy& kept = kept_.at(key);
      if (Rank(kept.outcome) > 0) ++report.written;
      if (kept.outcome != PartOutcome::kWhole)
        report.notWhole.push_back({kept.partPath, kept.outcome});
      if (kept.index < found.size()) found[kept.index].kept = true;
    }
    for (std::size_t i = 0; i < found.size() && i < copies_.size(); ++i) {
      found[i].outcome = copies_[i].outcome;
      found[i].decoded = copies_[i].decoded;
    }
    report.found = std::move(found);
    return report;
  }

 private:
  KeptCopy& Slot(const std::wstring& key, const std::wstring& partPath) {
    auto [it, added] = kept_.try_emplace(key);
    if (added) {
      order_.push_back(key);
      it->second.partPath = partPath;
    }
    return it->second;
  }

  // A copy that could not be written: it counts only while nothing better stands.
  void Note(std::size_t index, const std::wstring& key, const std::wstring& partPath,
            PartOutcome outcome) {
    copies_[index].outcome = outcome;
    KeptCopy& kept = Slot(key, partPath);
    if (Rank(kept.outcome) == 0) {
      kept.outcome = outcome;
      kept.partPath = partPath;
      kept.index = index;
    }
  }

  void Write(std::size_t index, const std::wstring& key, const PartEntry& entry,
             const fs::path& outputPath, const StagedCopy& staged) {
    if (!staged.path) {
      Note(index, key, entry.partPath, PartOutcome::kWriteFailed);
      return;
    }
    PartOutcome outcome = AsTheScanKnowsIt(entry, staged.outcome);
    const KeptCopy& kept = Slot(key, entry.partPath);
    copies_[index] = {outcome, Rank(outcome) > 0 ? std::optional(staged.decoded) : std::nullopt};
    if (Beats(outcome, entry.inCentralDirectory, staged.size, kept) &&
        Replace(*staged.path, outputPath)) {
      kept_[key] = {outcome, entry.partPath, entry.inCentralDirectory, staged.size, index};
      return;
    }
    std::error_code ec;
    fs::remove(*staged.path, ec);
    if (Rank(outcome) > 0 && Beats(outcome, entry.inCentralDirectory, staged.size, kept)) {
      outcome = PartOutcome::kWriteFailed;  // the rename failed
      copies_[index].decoded.reset();
    }
    if (Rank(outcome) == 0) Note(index, key, entry.partPath, outcome);
  }

  // A stream the scan inflated to find its end left its output in a file: that file is the
  // staged copy, and the stream is not inflated again. False when there is none, or when it
  // could not be put in place (the copy is then written the usual way).
  bool PlaceKept(std::size_t index, const std::wstring& key, const PartEntry& entry,
                 const fs::path& outputPath) {
    if (keptStreams_ == nullptr || entry.method != kMethodDeflated) return false;
    const auto stream = keptStreams_->Take(entry.dataOffset, entry.compressedSize);
    if (!stream) return false;
    const PartOutcome outcome = AsTheScanKnowsIt(entry, InflatedOutcome(entry, stream->result));
    const std::uint64_t bytes = stream->result.produced;
    const KeptCopy& kept = Slot(key, entry.partPath);
    const bool beats = Beats(outcome, entry.inCentralDirectory, bytes, kept);
    if (beats && Replace(stream->path, outputPath)) {
      copies_[index] = {outcome, DecodedBytes{bytes, stream->result.crc}};
      kept_[key] = {outcome, entry.partPath, entry.inCentralDirectory, bytes, index};
      return true;
    }
    std::error_code ec;
    fs::remove(stream->path, ec);
    if (beats) return false;
    copies_[index] = {outcome, Rank(outcome) > 0
                                   ? std::optional(DecodedBytes{bytes, stream->result.crc})
                                   : std::nullopt};
    if (Rank(outcome) == 0) Note(index, key, entry.partPath, outcome);
    return true;
  }

  // Puts the staged copy in the output's place. Never through a link: a link there is removed
  // first; a folder there is left alone.
  static bool Replace(const fs::path& staged, const fs::path& outputPath) {
    std::error_code ec;
    const auto status = fs::symlink_status(outputPath, ec);
    if (fs::is_directory(status)) return false;
    if (fs::is_symlink(status) && !fs::remove(outputPath, ec)) return false;
    fs::rename(staged, outputPath, ec);
    return !ec;
  }

  JobView& view_;
  const fs::path& fileFolder_;
  KeptStreams* keptStreams_;
  std::map<std::wstring, KeptCopy> kept_;
  std::vector<std::wstring> order_;
  std::vector<CopyFacts> copies_;  // by place in the scan list
};

int ProgressValue(std::size_t value) {
  return static_cast<int>(std::min<std::size_t>(value, INT_MAX));
}

// A part's name as the tree pass knows it: its place below the file folder, '/' between levels.
// The name is the path's own bytes: a damaged name need not be valid UTF-8, and converting it
// would throw.
std::string TreeName(const std::wstring& partPath) {
  const auto relative = SafePartPath(partPath);
  if (!relative) return std::string();
  std::string name = platform::Utf8FromPath(*relative);
  std::replace(name.begin(), name.end(), static_cast<char>(fs::path::preferred_separator), '/');
  return name;
}

// Data whose header was destroyed goes back under the name its content tells; a copy of that
// name that could not be written is then no longer lost.
void AddOrphanStreams(const fs::path& fileFolder, std::string_view packagePath,
                      const ScanList& scanList, ExtractionReport& report) {
  const OrphanRecovery recovery = RecoverOrphanStreams(fileFolder, packagePath, scanList);
  for (const auto& identified : recovery.identified) {
    const std::string& name = identified.first;
    std::erase_if(report.notWhole,
                  [&name](const PartReport& part) { return TreeName(part.partPath) == name; });
    std::wstring partPath = platform::WideFromBytes(name);
    std::replace(partPath.begin(), partPath.end(), L'/', L'\\');
    report.notWhole.push_back({partPath, PartOutcome::kIdentified});
    ++report.written;
  }
  report.unidentified = recovery.unidentified;
}

// Mends the tree so that a word processor opens it (cut XML closed, relationships and content
// types completed). Every part it writes is named in the report unless already reported cut
// short or damaged; a folder that cannot receive content types is a part not written. False
// then.
bool RepairTreeAndPlaceContentTypes(const fs::path& fileFolder, ExtractionReport& report) {
  TreeRepairInput input;
  std::set<std::string> saidCut;
  for (const auto& part : report.notWhole) {
    const std::string name = TreeName(part.partPath);
    if (name.empty()) continue;
    input.knownCut.insert(name);
    if (part.outcome == PartOutcome::kCutShort || part.outcome == PartOutcome::kDamaged) {
      saidCut.insert(name);
    }
  }
  for (const auto& part : report.found) {
    if (part.kept && part.outcome == PartOutcome::kWhole) {
      input.knownWhole.insert(TreeName(part.entry.partPath));
    }
  }
  fs::path folder = fileFolder;
  TreeRepairResult result;
  const int usable = RepairPackageTree(folder, input, &result);
  for (const auto& part : result.Rewritten()) {
    if (!saidCut.contains(part)) report.rebuilt.push_back(part);
  }
  report.tree = std::move(result);
  if (usable != 0) return true;
  const std::wstring name = platform::WideFromPath(fs::path(kContentTypesName));
  for (auto& part : report.notWhole) {
    if (part.partPath == name) {
      part.outcome = PartOutcome::kWriteFailed;
      return false;
    }
  }
  report.notWhole.push_back({name, PartOutcome::kWriteFailed});
  return false;
}

CrcCheck CrcCheckOf(const FoundPart& part) {
  switch (part.outcome) {
    case PartOutcome::kWhole:
      return CrcCheck::kMatch;
    case PartOutcome::kDamaged:
      return part.entry.crc ? CrcCheck::kMismatch : CrcCheck::kNoneStated;
    case PartOutcome::kCutShort:
      return CrcCheck::kIncomplete;
    default:
      return CrcCheck::kNotDecoded;
  }
}

PartFate FateOf(PartOutcome outcome) {
  switch (StatusOf(outcome)) {
    case PartStatus::kWhole:
      return PartFate::kWhole;
    case PartStatus::kCutShort:
      return PartFate::kPartial;
    case PartStatus::kDamaged:
      return PartFate::kDamaged;
    case PartStatus::kIdentified:
      return PartFate::kIdentified;
    case PartStatus::kLost:
      break;
  }
  return PartFate::kLost;
}

// Each found copy's fate as the log tells it: a kept copy the tree pass rewrote is rebuilt (a
// cut one it closed stays cut, as the log says); and the parts the log names that no written
// copy stands for. contentTypesPlaced: false when the folder could not receive content types.
void AssignFates(ExtractionReport& report, bool contentTypesPlaced) {
  const std::set<std::string> rebuilt(report.rebuilt.begin(), report.rebuilt.end());
  std::set<std::string> written;
  for (auto& part : report.found) {
    if (part.folderEntry) {
      part.crc = CrcCheck::kNotDecoded;
      part.fate = PartFate::kWhole;
      continue;
    }
    part.crc = CrcCheckOf(part);
    part.fate = FateOf(part.outcome);
    if (part.entry.identified && Rank(part.outcome) > 0) part.fate = PartFate::kIdentified;
    if (!part.kept || Rank(part.outcome) == 0) continue;
    const std::string name = TreeName(part.entry.partPath);
    if (!contentTypesPlaced && name == kContentTypesName) {
      part.outcome = PartOutcome::kWriteFailed;
      part.fate = PartFate::kLost;
      continue;
    }
    written.insert(name);
    if (rebuilt.contains(name)) part.fate = PartFate::kRebuilt;
  }
  // Data found without a header stands for no entry of the scan list: it is named here, and
  // stands for its name in place of an entry that gave nothing (a header the directory lists
  // but the scan could not read).
  for (const auto& part : report.notWhole) {
    if (part.outcome != PartOutcome::kIdentified) continue;
    const std::string name = TreeName(part.partPath);
    if (!written.insert(name).second) continue;
    report.unfound.push_back({name, PartFate::kIdentified});
    for (auto& found : report.found) {
      if (found.kept && Rank(found.outcome) == 0 && TreeName(found.entry.partPath) == name) {
        found.kept = false;
      }
    }
  }
  for (const auto& name : report.rebuilt) {
    if (!written.contains(name)) report.unfound.push_back({name, PartFate::kRebuilt});
  }
  if (!contentTypesPlaced) {
    const bool named = std::any_of(report.found.begin(), report.found.end(), [](const auto& part) {
      return part.kept && TreeName(part.entry.partPath) == kContentTypesName;
    });
    if (!named) report.unfound.push_back({kContentTypesName, PartFate::kLost});
  }
}

}  // namespace

const char* PartOutcomeText(PartOutcome outcome) {
  switch (outcome) {
    case PartOutcome::kWhole:
      return "whole";
    case PartOutcome::kCutShort:
      return "cut short: the data ends early";
    case PartOutcome::kDamaged:
      return "damaged: the bytes do not match their CRC-32";
    case PartOutcome::kUnsupportedMethod:
      return "compressed with a method that cannot be decoded";
    case PartOutcome::kNoData:
      return "nothing of the data could be decoded";
    case PartOutcome::kWriteFailed:
      return "the output could not be written";
    case PartOutcome::kNameRefused:
      return "no safe file name is left of the part name";
    case PartOutcome::kFolderBlocked:
      return "the name clashes with a folder of other parts";
    case PartOutcome::kIdentified:
      return "found without its header, named by its content";
  }
  return "unknown";
}

PartStatus StatusOf(PartOutcome outcome) {
  switch (outcome) {
    case PartOutcome::kWhole:
      return PartStatus::kWhole;
    case PartOutcome::kCutShort:
      return PartStatus::kCutShort;
    case PartOutcome::kDamaged:
      return PartStatus::kDamaged;
    case PartOutcome::kIdentified:
      return PartStatus::kIdentified;
    default:
      return PartStatus::kLost;
  }
}

std::optional<fs::path> SafePartPath(std::wstring_view partPath) {
  // A NUL would cut the name short inside the system's calls; no such name is trusted.
  if (partPath.find(L'\0') != std::wstring_view::npos) return std::nullopt;
  fs::path result;
  std::size_t begin = 0;
  while (begin <= partPath.size()) {
    std::size_t end = partPath.find_first_of(L"\\/", begin);
    if (end == std::wstring_view::npos) end = partPath.size();
    std::wstring component(partPath.substr(begin, end - begin));
    std::erase(component, L':');
    if (!component.empty() && component != L"." && component != L"..") {
      result /= platform::PathFromWide(component);
    }
    begin = end + 1;
  }
  if (result.empty()) return std::nullopt;
  return result;
}

bool MakePartFolders(JobView& view, const fs::path& fileFolder, const fs::path& relativePath) {
  return PreparePartFolders(view, fileFolder, relativePath).hasFolders;
}

PartOutcome ExtractPart(platform::File& package, const PartEntry& entry, platform::File& output,
                        DecodedBytes* decoded) {
  DecodedBytes ignored;
  DecodedBytes& bytes = decoded != nullptr ? *decoded : ignored;
  bytes = {};
  try {
    switch (entry.method) {
      case kMethodStored:
        return CopyStored(package, entry, output, bytes);
      case kMethodDeflated:
        return Inflate(package, entry, output, bytes);
      default:
        return PartOutcome::kUnsupportedMethod;
    }
  } catch (const std::bad_alloc&) {
    return PartOutcome::kNoData;
  }
}

namespace {

// Every entry's step, in list order, with found filled in; the copies to be decoded go to jobs.
std::vector<ExtractionStep> PlanSteps(Extractor& extractor, const ScanList& scanList, bool opened,
                                      std::vector<FoundPart>& found,
                                      std::vector<PartStager::Job>& jobs) {
  const OutputPlan plan(scanList);
  std::vector<ExtractionStep> steps(scanList.size());
  for (std::size_t i = 0; i < scanList.size(); ++i) {
    PartEntry entry = scanList[i];
    found[i].entry = entry;
    if (!opened) entry.status = PartStatus::kLost;
    found[i].folderEntry = plan.IsFolderOfOthers(i) && entry.compressedSize == 0;
    if (found[i].folderEntry) continue;
    steps[i] = extractor.Plan(entry, plan.PathOf(i), plan.Blocked(i));
    if (steps[i].kind == ExtractionStep::Kind::kWrite && !extractor.HasKeptStream(entry)) {
      steps[i].job = jobs.size();
      jobs.push_back({entry, steps[i].outputPath.parent_path()});
    }
  }
  return steps;
}

}  // namespace

ExtractionReport ExtractParts(JobView& view, const fs::path& fileFolder,
                              std::string_view packagePath, const ScanList& scanList,
                              KeptStreams* kept, unsigned threads) {
  const std::size_t count = scanList.size();
  view.ResetEstimate(ProgressBar::kFile);
  view.SetProgressRange(ProgressBar::kFile, ProgressValue(count));
  view.SetProgressPos(ProgressBar::kFile, 0);
  platform::File package;
  const bool opened =
      package.Open(platform::PathFromUtf8(packagePath), platform::File::Mode::kRead);
  Extractor extractor(view, fileFolder, kept);
  std::vector<FoundPart> found(count);
  std::vector<PartStager::Job> jobs;
  const std::vector<ExtractionStep> steps = PlanSteps(extractor, scanList, opened, found, jobs);
  PartStager stager(platform::PathFromUtf8(packagePath), std::move(jobs),
                    threads == 0 ? zip::DeflateThreadCount() : threads);
  for (std::size_t i = 0; i < count; ++i) {
    const ExtractionStep& step = steps[i];
    extractor.Settle(i, step, [&] {
      return step.job ? stager.Take(*step.job, package)
                      : StageCopy(package, step.entry, step.outputPath.parent_path());
    });
    // The bar trails by one part while the job runs and reaches the end below.
    view.SetProgressPos(ProgressBar::kFile, ProgressValue(i));
  }
  ExtractionReport report = extractor.Report(std::move(found));
  for (auto& part : report.found) {
    if (part.folderEntry) part.outcome = PartOutcome::kWhole;
  }
  if (opened) AddOrphanStreams(fileFolder, packagePath, scanList, report);
  AssignFates(report, RepairTreeAndPlaceContentTypes(fileFolder, report));
  view.SetProgressPos(ProgressBar::kFile, ProgressValue(count));
  return report;
}

}  // namespace engine
