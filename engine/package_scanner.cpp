#include "engine/package_scanner.h"

#include <algorithm>
#include <array>
#include <string>
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

// Handles the local header at offset and returns where the search for the next one goes on.
std::uint64_t HandleLocalHeader(ScanReader& reader, std::uint64_t offset,
                                const CentralDirectory& directory, ScanList& scanList,
                                const std::atomic<int>* running) {
  // The package's own directory names every part; headers there are only bytes in names.
  if (directory.intact && offset >= directory.start && offset < directory.end) {
    return directory.end;
  }
  const auto header = ReadLocalHeader(reader, offset);
  // A header cut off by the end of the file holds no data; look on from the next byte.
  if (!header) return offset + 1;
  const auto listed = directory.entries.find(offset);
  const CentralEntry* central = listed == directory.entries.end() ? nullptr : &listed->second;
  auto resolution = ResolvePart(reader, *header, central, running);
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

void ScanWindows(ScanReader& reader, ScanList& scanList, const std::atomic<int>* running) {
  static constexpr std::array<Signature, 2> kHeaders{kLocalHeaderSignature,
                                                     kCentralHeaderSignature};
  const CentralDirectory directory = ReadCentralDirectory(reader);
  std::uint64_t next = 0;
  while (const auto hit = reader.FindSignature(next, kHeaders, running)) {
    next = hit->which == 0 ? HandleLocalHeader(reader, hit->offset, directory, scanList, running)
                           : HandleCentralHeader(reader, hit->offset, directory);
  }
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
                 std::size_t bufferSize, bool* stoppedEarly) {
  return ScanPackageFrom(param, packagePath, platform::PathFromUtf8(packagePath), scanList,
                         bufferSize, stoppedEarly);
}

bool ScanPackageFrom(const JobThreadParam& param, std::string_view packagePath,
                     const std::filesystem::path& readPath, ScanList& scanList,
                     std::size_t bufferSize, bool* stoppedEarly) {
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
    ScanWindows(reader, scanList, param.pJobRunning);
  }
  if (stoppedEarly) *stoppedEarly = param.pJobRunning && param.pJobRunning->load() == 0;
  LogForPackage(view, packagePath, kLogFileExtracted);
  package.Close();
  LogForPackage(view, packagePath, kLogFileClosed);
  return true;
}

}  // namespace engine
