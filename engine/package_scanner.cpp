#include "engine/package_scanner.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/central_directory.h"
#include "engine/job_texts.h"
#include "engine/part_resolver.h"
#include "engine/scan_reader.h"
#include "engine/zip_records.h"
#include "platform/file.h"
#include "platform/text.h"

namespace engine {
namespace {

// A name ending in a separator is a folder whatever its sizes say; writing it as a file would
// block the folder of the same name. An empty name names nothing.
bool IsListedPart(const PartEntry& entry) {
  return !entry.partPath.empty() && entry.partPath.back() != L'\\';
}

// The byte ranges of the parts the intact directory lists (from just after each listed header's
// signature to the end of its data, extra field left out so that the range never reaches the
// next record), for the parts whose next record stands where the directory says: a header
// inside one is inside a part's data (an embedded package whose own header was destroyed, say).
// An entry whose successor is not where the directory puts it (bytes inserted or cut) gives no
// range, since its offsets may be off.
using PartRanges = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

bool ListedHeaderAt(ScanReader& reader, std::uint64_t offset, const CentralEntry& entry) {
  const auto header = ReadLocalHeader(reader, offset);
  return header && header->name == entry.name;
}

PartRanges ListedPartRanges(ScanReader& reader, const CentralDirectory& directory) {
  PartRanges ranges;
  if (!directory.intact) return ranges;
  for (auto it = directory.entries.begin(); it != directory.entries.end(); ++it) {
    const auto next = std::next(it);
    const std::uint64_t successor = next == directory.entries.end() ? directory.start : next->first;
    const std::uint64_t end =
        it->first + kLocalHeaderSize + it->second.name.size() + it->second.compressedSize;
    if (end < it->first || end > successor) continue;
    // Its own header where the directory says, or the next part's: the offsets hold here.
    if (!ListedHeaderAt(reader, it->first, it->second) && next != directory.entries.end() &&
        !ListedHeaderAt(reader, successor, next->second)) {
      continue;
    }
    ranges.emplace_back(it->first, end);
  }
  return ranges;
}

bool InsideListedPart(const PartRanges& ranges, std::uint64_t offset) {
  const auto after = std::upper_bound(ranges.begin(), ranges.end(), std::make_pair(offset, offset));
  if (after == ranges.begin()) return false;
  const auto& range = *std::prev(after);
  return offset > range.first && offset < range.second;
}

bool ListedElsewhere(const CentralDirectory& directory, const LocalHeader& header,
                     const PartEntry& part) {
  if (!part.crc) return false;
  return std::any_of(directory.entries.begin(), directory.entries.end(), [&](const auto& item) {
    return item.second.name == header.name && item.second.crc == *part.crc;
  });
}

// Handles the local header at offset and returns where the search for the next one goes on.
std::uint64_t HandleLocalHeader(ScanReader& reader, std::uint64_t offset,
                                const CentralDirectory& directory, const PartRanges& ranges,
                                ScanList& scanList, const std::atomic<int>* running,
                                KeptStreams* kept) {
  // The package's own directory names every part; headers there are only bytes in names.
  if (directory.intact && offset >= directory.start && offset < directory.end) {
    return directory.end;
  }
  const auto header = ReadLocalHeader(reader, offset);
  // A header cut off by the end of the file holds no data; look on from the next byte.
  if (!header) return offset + 1;
  const auto listed = directory.entries.find(offset);
  const CentralEntry* central = listed == directory.entries.end() ? nullptr : &listed->second;
  const bool insidePart = !central && InsideListedPart(ranges, offset);
  auto resolution = ResolvePart(reader, *header, central, running, kept);
  // Inside another part's data the header is one of an embedded package's, unless it is one of
  // the package's own moved there (sectors of a fragmented file out of order): then the
  // directory lists its name with the CRC-32 it has.
  if (insidePart && !(resolution.part && ListedElsewhere(directory, *header, *resolution.part))) {
    return offset + 1;
  }
  if (resolution.part && IsListedPart(*resolution.part)) {
    scanList.push_back(std::move(*resolution.part));
  }
  return std::max(resolution.resume, offset + 1);
}

// Where the search goes on after a central directory header at offset: past it when it is a
// real one, so that "PK\3\4" bytes in the names it holds are not taken for headers.
std::uint64_t HandleCentralHeader(ScanReader& reader, std::uint64_t offset,
                                  const CentralDirectory& directory) {
  if (directory.intact && offset >= directory.start && offset < directory.end) {
    return directory.end;
  }
  return CentralHeaderEnd(reader, offset).value_or(offset + 1);
}

// The names the intact directory lists whose part the scan did not find at the directory's
// offset: moved (sectors out of order) or destroyed.
std::vector<std::vector<std::uint8_t>> NamesNotFound(const CentralDirectory& directory,
                                                     const ScanList& scanList) {
  std::set<std::uint64_t> found;
  for (const auto& entry : scanList)
    found.insert(entry.headerOffset);
  std::vector<std::vector<std::uint8_t>> names;
  for (const auto& [offset, entry] : directory.entries) {
    if (!found.contains(offset)) names.push_back(entry.name);
  }
  return names;
}

// A part the intact directory lists that the scan found nowhere is reported as not recovered,
// so that the log tells of every part the package had.
void ReportListedButNotFound(const CentralDirectory& directory,
                             const std::vector<std::vector<std::uint8_t>>& missing,
                             ScanList& scanList) {
  for (const auto& name : missing) {
    PartEntry entry;
    entry.partPath = PartPathFromNameBytes(name);
    if (!IsListedPart(entry)) continue;
    const bool met = std::any_of(scanList.begin(), scanList.end(), [&](const PartEntry& found) {
      return found.partPath == entry.partPath;
    });
    if (met) continue;
    for (const auto& [offset, listed] : directory.entries) {
      if (listed.name != name) continue;
      // Nothing of it was read: its byte range is empty, at the header the directory names.
      entry.headerOffset = offset;
      entry.dataOffset = offset;
      entry.endOffset = offset;
      entry.method = listed.method;
      entry.crc = listed.crc;
      entry.inCentralDirectory = true;
    }
    entry.status = PartStatus::kLost;
    scanList.push_back(std::move(entry));
  }
}

// Sectors out of order can move a part's record into the data of another part, where the scan
// does not look for headers. When the intact directory misses parts, their headers are looked
// for once more through the whole file, and one is taken when it bears a missing name and the
// CRC-32 the directory lists for it.
void FindMovedHeaders(ScanReader& reader, const CentralDirectory& directory, ScanList& scanList,
                      const std::atomic<int>* running) {
  // A stopped scan did not look everywhere: nothing can be said about what it did not meet.
  if (!directory.intact || directory.entries.empty() || (running && running->load() == 0)) return;
  // The directory at the end of the file may be an embedded package's, found because the
  // package's own was cut off: then parts stand before the first one it lists.
  const std::uint64_t first = directory.entries.begin()->first;
  if (std::any_of(scanList.begin(), scanList.end(),
                  [first](const PartEntry& entry) { return entry.headerOffset < first; })) {
    return;
  }
  auto missing = NamesNotFound(directory, scanList);
  std::set<std::uint64_t> taken;
  for (const auto& entry : scanList)
    taken.insert(entry.headerOffset);
  static constexpr std::array<Signature, 1> kHeader{kLocalHeaderSignature};
  std::uint64_t next = 0;
  while (!missing.empty()) {
    const auto hit = reader.FindSignature(next, kHeader, running);
    if (!hit || (hit->offset >= directory.start && hit->offset < directory.end)) break;
    next = hit->offset + 1;
    if (taken.contains(hit->offset)) continue;
    const auto header = ReadLocalHeader(reader, hit->offset);
    if (!header) continue;
    const auto name = std::find(missing.begin(), missing.end(), header->name);
    if (name == missing.end()) continue;
    auto resolution = ResolvePart(reader, *header, nullptr, running);
    if (!resolution.part || resolution.part->status != PartStatus::kWhole ||
        !IsListedPart(*resolution.part) || !ListedElsewhere(directory, *header, *resolution.part)) {
      continue;
    }
    scanList.push_back(std::move(*resolution.part));
    missing.erase(name);
  }
  if (running && running->load() == 0) return;
  ReportListedButNotFound(directory, missing, scanList);
}

void ScanWindows(ScanReader& reader, ScanList& scanList, const std::atomic<int>* running,
                 KeptStreams* kept) {
  static constexpr std::array<Signature, 2> kHeaders{kLocalHeaderSignature,
                                                     kCentralHeaderSignature};
  const CentralDirectory directory = ReadCentralDirectory(reader);
  const PartRanges listed = ListedPartRanges(reader, directory);
  std::uint64_t next = 0;
  while (const auto hit = reader.FindSignature(next, kHeaders, running)) {
    next = hit->which == 0
               ? HandleLocalHeader(reader, hit->offset, directory, listed, scanList, running, kept)
               : HandleCentralHeader(reader, hit->offset, directory);
  }
  FindMovedHeaders(reader, directory, scanList, running);
}

}  // namespace

std::wstring PartPathFromNameBytes(std::span<const std::uint8_t> nameBytes) {
  const auto nul = std::find(nameBytes.begin(), nameBytes.end(), std::uint8_t{0});
  std::size_t length = static_cast<std::size_t>(nul - nameBytes.begin());
  length = std::min(length, kMaxPartPathLength);
  std::wstring path = platform::WideFromBytes(
      std::string_view(reinterpret_cast<const char*>(nameBytes.data()), length));
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

bool ScanPackage(const JobThreadParam& param, std::string_view packagePath, ScanList& scanList,
                 std::size_t bufferSize, bool* stoppedEarly, KeptStreams* kept) {
  return ScanPackageFrom(param, packagePath, platform::PathFromUtf8(packagePath), scanList,
                         bufferSize, stoppedEarly, kept);
}

bool ScanPackageFrom(const JobThreadParam& param, std::string_view packagePath,
                     const std::filesystem::path& readPath, ScanList& scanList,
                     std::size_t bufferSize, bool* stoppedEarly, KeptStreams* kept) {
  JobView& view = *param.pView;
  platform::File package;
  if (!package.Open(readPath, platform::File::Mode::kRead)) {
    view.MessageBox(platform::LastErrorText(), kAppCaption, kMbIconInformation);
    return false;
  }
  LogForPackage(view, packagePath, kLogFileOpen);
  const std::int64_t size = package.Size();
  if (size > 0 && package.Seek(0)) {
    ScanReader reader(package, static_cast<std::uint64_t>(size), bufferSize);
    ScanWindows(reader, scanList, param.pJobRunning, kept);
  }
  if (stoppedEarly) *stoppedEarly = param.pJobRunning && param.pJobRunning->load() == 0;
  LogForPackage(view, packagePath, kLogFileExtracted);
  package.Close();
  LogForPackage(view, packagePath, kLogFileClosed);
  return true;
}

}  // namespace engine
