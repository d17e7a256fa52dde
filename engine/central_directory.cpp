#include "engine/central_directory.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "engine/zip_records.h"
#include "zip/little_endian.h"

namespace engine {
namespace {

constexpr std::uint64_t kEndRecordSize = 22;
constexpr std::uint64_t kMaxCommentLength = 0xFFFF;
constexpr std::uint64_t kZip64LocatorSize = 20;
constexpr std::uint64_t kZip64EndRecordSize = 56;
constexpr std::uint64_t kCentralHeaderSize = 46;
constexpr std::uint16_t kZip64ExtraId = 0x0001;

struct EndRecord {
  std::uint64_t offset = 0;  // where the (zip64) end record that follows the directory starts
  std::uint64_t entries = 0;
  std::uint64_t directorySize = 0;
  std::uint64_t directoryOffset = 0;  // as stated
  std::uint64_t end = 0;              // after the end record and its comment
};

std::optional<EndRecord> ReadEndRecordAt(ScanReader& reader, std::uint64_t at) {
  std::array<std::uint8_t, kEndRecordSize> bytes{};
  if (reader.ReadAt(at, bytes) != bytes.size()) return std::nullopt;
  zip::LittleEndianReader fields(bytes);
  if (fields.Get32() != 0x06054B50) return std::nullopt;
  fields.Skip(6);  // disk numbers, entries on this disk
  EndRecord record;
  record.offset = at;
  record.entries = fields.Get16();
  record.directorySize = fields.Get32();
  record.directoryOffset = fields.Get32();
  record.end = at + kEndRecordSize + fields.Get16();
  if (!fields.ok() || record.end > reader.FileSize()) return std::nullopt;
  return record;
}

// A zip64 end record right before its locator, which stands right before the end record.
void ReadZip64EndRecord(ScanReader& reader, EndRecord& record) {
  if (record.offset < kZip64LocatorSize + kZip64EndRecordSize) return;
  const std::uint64_t locator = record.offset - kZip64LocatorSize;
  const std::uint64_t at = locator - kZip64EndRecordSize;
  std::array<std::uint8_t, kZip64EndRecordSize> bytes{};
  Signature signature{};
  if (reader.ReadAt(locator, signature) != 4 || signature != kZip64LocatorSignature) return;
  if (reader.ReadAt(at, bytes) != bytes.size()) return;
  zip::LittleEndianReader fields(bytes);
  if (fields.Get32() != 0x06064B50) return;
  fields.Skip(8 + 2 + 2 + 4 + 4 + 8);  // size, versions, disks, entries on this disk
  const std::uint64_t entries = fields.Get64();
  const std::uint64_t size = fields.Get64();
  const std::uint64_t offset = fields.Get64();
  if (!fields.ok()) return;
  record.offset = at;
  record.entries = entries;
  record.directorySize = size;
  record.directoryOffset = offset;
}

std::optional<EndRecord> FindEndRecord(ScanReader& reader) {
  const std::uint64_t size = reader.FileSize();
  if (size < kEndRecordSize) return std::nullopt;
  const std::uint64_t lowest =
      size > kEndRecordSize + kMaxCommentLength ? size - kEndRecordSize - kMaxCommentLength : 0;
  std::vector<std::uint8_t> tail(size - lowest);
  if (reader.ReadAt(lowest, tail) != tail.size()) return std::nullopt;
  for (std::uint64_t i = tail.size() - kEndRecordSize + 1; i-- > 0;) {
    if (tail[i] == 0x50 && tail[i + 1] == 0x4B && tail[i + 2] == 5 && tail[i + 3] == 6) {
      auto record = ReadEndRecordAt(reader, lowest + i);
      if (!record) continue;
      ReadZip64EndRecord(reader, *record);
      return record;
    }
  }
  return std::nullopt;
}

struct CentralHeader {
  CentralEntry entry;
  std::uint64_t localOffset = 0;  // as stated
  std::uint64_t end = 0;
};

std::optional<CentralHeader> ReadCentralHeader(ScanReader& reader, std::uint64_t at) {
  std::array<std::uint8_t, kCentralHeaderSize> bytes{};
  if (reader.ReadAt(at, bytes) != bytes.size()) return std::nullopt;
  zip::LittleEndianReader fields(bytes);
  if (fields.Get32() != 0x02014B50) return std::nullopt;
  fields.Skip(4 + 2);  // versions, flags
  CentralHeader header;
  header.entry.method = fields.Get16();
  fields.Skip(4);  // time, date
  header.entry.crc = fields.Get32();
  header.entry.compressedSize = fields.Get32();
  header.entry.uncompressedSize = fields.Get32();
  const std::uint16_t nameLength = fields.Get16();
  const std::uint16_t extraLength = fields.Get16();
  const std::uint16_t commentLength = fields.Get16();
  fields.Skip(2 + 2 + 4);  // disk, attributes
  header.localOffset = fields.Get32();
  if (!fields.ok()) return std::nullopt;
  header.entry.name.resize(nameLength);
  if (reader.ReadAt(at + kCentralHeaderSize, header.entry.name) != nameLength) return std::nullopt;
  std::vector<std::uint8_t> extra(extraLength);
  const std::uint64_t extraAt = at + kCentralHeaderSize + nameLength;
  if (reader.ReadAt(extraAt, extra) != extra.size()) return std::nullopt;
  header.end = extraAt + extraLength + commentLength;
  if (header.end > reader.FileSize()) return std::nullopt;
  // Zip64 values follow in this order, each present only when its field holds the marker.
  zip::LittleEndianReader extraFields(extra);
  while (extraFields.Remaining() >= 4) {
    const std::uint16_t id = extraFields.Get16();
    zip::LittleEndianReader field(extraFields.GetBytes(extraFields.Get16()));
    if (!extraFields.ok()) break;  // a field longer than the extra data
    if (id != kZip64ExtraId) continue;
    if (header.entry.uncompressedSize == kZip64Marker)
      header.entry.uncompressedSize = field.Get64();
    if (header.entry.compressedSize == kZip64Marker) header.entry.compressedSize = field.Get64();
    if (header.localOffset == kZip64Marker) header.localOffset = field.Get64();
    break;
  }
  return header;
}

}  // namespace

CentralDirectory ReadCentralDirectory(ScanReader& reader) {
  CentralDirectory directory;
  const auto record = FindEndRecord(reader);
  if (!record || record->directorySize > record->offset) return directory;
  const std::uint64_t start = record->offset - record->directorySize;
  // Junk in front of the package moves every offset the directory states by the same amount.
  const std::uint64_t shift = start - std::min(start, record->directoryOffset);
  if (record->directoryOffset > start) return directory;
  std::uint64_t at = start;
  for (std::uint64_t i = 0; i < record->entries; ++i) {
    const auto header = ReadCentralHeader(reader, at);
    if (!header || header->end > record->offset) return CentralDirectory{};
    directory.entries[header->localOffset + shift] = header->entry;
    at = header->end;
  }
  if (at != record->offset) return CentralDirectory{};
  directory.intact = true;
  directory.start = start;
  directory.end = record->end;
  return directory;
}

std::optional<std::uint64_t> CentralHeaderEnd(ScanReader& reader, std::uint64_t offset) {
  const auto header = ReadCentralHeader(reader, offset);
  if (!header || !IsRecordBoundary(reader, header->end)) return std::nullopt;
  return header->end;
}

}  // namespace engine
