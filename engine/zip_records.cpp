#include "engine/zip_records.h"

#include <array>
#include <span>

#include "zip/little_endian.h"

namespace engine {
namespace {

constexpr std::uint16_t kZip64ExtraId = 0x0001;

// Reads the zip64 sizes of a local header: the uncompressed size first, then the compressed
// one, each present when its 32-bit field holds the marker. A field of 16 bytes or more holds
// both whatever the markers say.
void ReadZip64Sizes(LocalHeader& header) {
  zip::LittleEndianReader extra(header.extra);
  while (extra.Remaining() >= 4) {
    const std::uint16_t id = extra.Get16();
    const std::uint16_t size = extra.Get16();
    zip::LittleEndianReader field(extra.GetBytes(size));
    if (!extra.ok()) return;
    if (id != kZip64ExtraId) continue;
    const bool both = size >= 16;
    if (both || header.uncompressedSize == kZip64Marker) {
      const std::uint64_t value = field.Get64();
      if (field.ok()) header.zip64Uncompressed = value;
    }
    if (both || header.compressedSize == kZip64Marker) {
      const std::uint64_t value = field.Get64();
      if (field.ok()) header.zip64Compressed = value;
    }
    return;
  }
}

bool IsRecordKind(std::uint8_t a, std::uint8_t b) {
  switch (a) {
    case 1:
      return b == 2;  // central directory header
    case 3:
      return b == 4;  // local file header
    case 5:
      return b == 5 || b == 6;  // digital signature, end record
    case 6:
      return b == 6 || b == 7 || b == 8;  // zip64 end record and locator, archive extra data
    case 7:
      return b == 8;  // data descriptor
    default:
      return false;
  }
}

std::optional<DataDescriptor> ReadDescriptorFields(ScanReader& reader, std::uint64_t at,
                                                   bool zip64) {
  std::array<std::uint8_t, 20> bytes{};
  const std::size_t size = zip64 ? 20 : 12;
  if (reader.ReadAt(at, std::span(bytes.data(), size)) != size) return std::nullopt;
  zip::LittleEndianReader fields(std::span(bytes.data(), size));
  DataDescriptor descriptor;
  descriptor.crc = fields.Get32();
  descriptor.compressedSize = zip64 ? fields.Get64() : fields.Get32();
  descriptor.uncompressedSize = zip64 ? fields.Get64() : fields.Get32();
  descriptor.end = at + size;
  if (!fields.ok()) return std::nullopt;
  return descriptor;
}

}  // namespace

std::optional<LocalHeader> ReadLocalHeader(ScanReader& reader, std::uint64_t offset) {
  std::array<std::uint8_t, kLocalHeaderSize> bytes{};
  if (reader.ReadAt(offset, bytes) != bytes.size()) return std::nullopt;
  zip::LittleEndianReader fields(bytes);
  LocalHeader header;
  header.offset = offset;
  fields.Skip(4);  // signature
  header.version = fields.Get16();
  header.flags = fields.Get16();
  header.method = fields.Get16();
  fields.Skip(4);  // modification time and date
  header.crc = fields.Get32();
  header.compressedSize = fields.Get32();
  header.uncompressedSize = fields.Get32();
  const std::uint16_t nameLength = fields.Get16();
  const std::uint16_t extraLength = fields.Get16();
  if (!fields.ok()) return std::nullopt;
  header.name.resize(nameLength);
  header.extra.resize(extraLength);
  const std::uint64_t nameAt = offset + kLocalHeaderSize;
  if (reader.ReadAt(nameAt, header.name) != nameLength) return std::nullopt;
  if (reader.ReadAt(nameAt + nameLength, header.extra) != extraLength) return std::nullopt;
  header.dataOffset = nameAt + nameLength + extraLength;
  ReadZip64Sizes(header);
  return header;
}

bool IsRecordBoundary(ScanReader& reader, std::uint64_t offset) {
  if (offset == reader.FileSize()) return true;
  Signature bytes{};
  if (reader.ReadAt(offset, bytes) != bytes.size()) return false;
  return bytes[0] == 0x50 && bytes[1] == 0x4B && IsRecordKind(bytes[2], bytes[3]);
}

std::optional<DataDescriptor> ReadDescriptor(ScanReader& reader, std::uint64_t offset) {
  Signature bytes{};
  const bool signed_ =
      reader.ReadAt(offset, bytes) == bytes.size() && bytes == kDataDescriptorSignature;
  const std::uint64_t fieldsAt = offset + (signed_ ? 4 : 0);
  for (const bool zip64 : {false, true}) {
    auto descriptor = ReadDescriptorFields(reader, fieldsAt, zip64);
    if (descriptor && IsRecordBoundary(reader, descriptor->end)) return descriptor;
  }
  if (signed_) return ReadDescriptorFields(reader, fieldsAt, false);
  return std::nullopt;
}

std::optional<DataDescriptor> UnsignedDescriptorBefore(ScanReader& reader, std::uint64_t boundary,
                                                       std::uint64_t dataOffset) {
  for (const bool zip64 : {false, true}) {
    const std::uint64_t size = zip64 ? 20 : 12;
    if (boundary < dataOffset + size) continue;
    const auto descriptor = ReadDescriptorFields(reader, boundary - size, zip64);
    if (descriptor && descriptor->compressedSize == boundary - size - dataOffset) {
      return descriptor;
    }
  }
  return std::nullopt;
}

}  // namespace engine
