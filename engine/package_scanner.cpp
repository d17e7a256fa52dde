#include "engine/package_scanner.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "engine/job_texts.h"
#include "engine/scan_reader.h"
#include "platform/file.h"
#include "platform/text.h"

namespace engine {
namespace {

// The fixed part of a local file header, after its signature.
constexpr std::size_t kHeaderFieldsSize = 26;
constexpr std::size_t kSignatureSize = 4;
// After a descriptor's signature: CRC-32, compressed size, uncompressed size.
constexpr std::size_t kDescriptorFieldsSize = 12;
// Each window step moves back 3 bytes from where the last read ended, so after a header the
// next window starts 3 bytes before the end of the part's data.
constexpr std::uint64_t kWindowStepBack = 3;

constexpr std::uint16_t kMethodDeflated = 8;

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct LocalHeader {
  std::uint16_t method = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint16_t extraLength = 0;
  std::vector<std::uint8_t> name;
  std::uint64_t nameEnd = 0;  // offset just after the name
};

// Reads the header whose signature is at offset. Nothing when the file ends inside it.
std::optional<LocalHeader> ReadLocalHeader(ScanReader& reader, std::uint64_t offset) {
  std::array<std::uint8_t, kHeaderFieldsSize> fields{};
  const std::uint64_t fieldsAt = offset + kSignatureSize;
  if (reader.ReadAt(fieldsAt, fields) != fields.size()) return std::nullopt;
  LocalHeader header;
  header.method = Le16(&fields[4]);
  header.compressedSize = Le32(&fields[14]);
  header.uncompressedSize = Le32(&fields[18]);
  const std::uint16_t nameLength = Le16(&fields[22]);
  header.extraLength = Le16(&fields[24]);
  header.name.resize(nameLength);
  const std::uint64_t nameAt = fieldsAt + kHeaderFieldsSize;
  if (reader.ReadAt(nameAt, header.name) != header.name.size()) return std::nullopt;
  header.nameEnd = nameAt + nameLength;
  return header;
}

// A deflated part written by a streaming writer has sizes 0 in its local header and a signed
// data descriptor after its data. The search starts with the window that overlaps the last
// 3 name bytes and ends at the next local header, which means there is no descriptor.
void TakeSizesFromDescriptor(ScanReader& reader, LocalHeader& header,
                             const std::atomic<int>* running) {
  static constexpr std::array<Signature, 2> kStops{kLocalHeaderSignature, kDataDescriptorSignature};
  const auto hit = reader.FindSignature(header.nameEnd - kWindowStepBack, kStops, running);
  if (!hit || hit->which != 1) return;
  std::array<std::uint8_t, kDescriptorFieldsSize> fields{};
  if (reader.ReadAt(hit->offset + kSignatureSize, fields) != fields.size()) return;
  header.compressedSize = Le32(&fields[4]);
  header.uncompressedSize = Le32(&fields[8]);
}

// Both sizes 0 is a folder, an empty part or a descriptor that was not found: nothing to write.
// A name ending in a separator is a folder whatever its sizes say; writing it as a file would
// block the folder of the same name.
bool IsPart(const PartEntry& entry) {
  if (entry.compressedSize == 0 && entry.uncompressedSize == 0) return false;
  return !entry.partPath.empty() && entry.partPath.back() != L'\\';
}

// Handles the local header at offset and returns where the next window starts.
std::uint64_t HandleLocalHeader(ScanReader& reader, std::uint64_t offset, ScanList& scanList,
                                const std::atomic<int>* running) {
  auto header = ReadLocalHeader(reader, offset);
  // A header cut off by the end of the file holds no data; look on from the next byte.
  if (!header) return offset + 1;
  if (header->compressedSize == 0 && header->uncompressedSize == 0 &&
      header->method == kMethodDeflated) {
    TakeSizesFromDescriptor(reader, *header, running);
  }
  PartEntry entry;
  entry.compressedSize = header->compressedSize;
  entry.uncompressedSize = header->uncompressedSize;
  entry.method = header->method;
  entry.partPath = PartPathFromNameBytes(header->name);
  entry.dataOffset = header->nameEnd + header->extraLength;
  const std::uint64_t dataEnd = entry.dataOffset + entry.compressedSize;
  if (IsPart(entry)) scanList.push_back(std::move(entry));
  // A compressed size that leads past the end of the file is damage, not the end of the
  // parts: the window goes on right after the extra field so that later headers are found.
  if (dataEnd > reader.FileSize()) return header->nameEnd + header->extraLength;
  return dataEnd - kWindowStepBack;
}

void ScanWindows(ScanReader& reader, ScanList& scanList, const std::atomic<int>* running) {
  static constexpr std::array<Signature, 1> kHeader{kLocalHeaderSignature};
  std::uint64_t next = 0;
  while (const auto hit = reader.FindSignature(next, kHeader, running)) {
    next = HandleLocalHeader(reader, hit->offset, scanList, running);
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
                 std::size_t bufferSize) {
  JobView& view = *param.pView;
  platform::File package;
  if (!package.Open(platform::PathFromUtf8(packagePath), platform::File::Mode::kRead)) {
    view.MessageBox(platform::LastErrorText(), kAppCaption, kMbIconInformation);
    return false;
  }
  LogForPackage(view, packagePath, kLogFileOpen);
  const std::int64_t size = package.Size();
  if (size > 0 && package.Seek(0)) {
    ScanReader reader(package, static_cast<std::uint64_t>(size), bufferSize);
    ScanWindows(reader, scanList, param.pJobRunning);
  }
  LogForPackage(view, packagePath, kLogFileExtracted);
  package.Close();
  LogForPackage(view, packagePath, kLogFileClosed);
  return true;
}

}  // namespace engine
