// The zip records the scanner reads, each through a bounds-checked little-endian cursor: local
// file headers, data descriptors in their three forms, and the test for a record boundary that
// lets a stated size count as evidence.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/scan_reader.h"

namespace engine {

inline constexpr Signature kCentralHeaderSignature{0x50, 0x4B, 0x01, 0x02};
inline constexpr Signature kEndRecordSignature{0x50, 0x4B, 0x05, 0x06};
inline constexpr Signature kZip64EndRecordSignature{0x50, 0x4B, 0x06, 0x06};
inline constexpr Signature kZip64LocatorSignature{0x50, 0x4B, 0x06, 0x07};

inline constexpr std::uint64_t kLocalHeaderSize = 30;  // fixed part, signature included
inline constexpr std::uint16_t kFlagDescriptor = 0x0008;
inline constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;

struct LocalHeader {
  std::uint64_t offset = 0;  // of the signature
  std::uint16_t version = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::vector<std::uint8_t> name;
  std::vector<std::uint8_t> extra;
  std::uint64_t dataOffset = 0;
  // Sizes from a zip64 extended information field (0x0001), when present.
  std::optional<std::uint64_t> zip64Compressed;
  std::optional<std::uint64_t> zip64Uncompressed;

  bool HasDescriptor() const { return (flags & kFlagDescriptor) != 0; }
};

// The local header whose signature is at offset; nothing when the file ends inside it.
std::optional<LocalHeader> ReadLocalHeader(ScanReader& reader, std::uint64_t offset);

// True when the end of the file or a zip record signature stands at offset: what follows a
// part's data (and descriptor) in any package.
bool IsRecordBoundary(ScanReader& reader, std::uint64_t offset);

struct DataDescriptor {
  std::uint32_t crc = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t uncompressedSize = 0;
  std::uint64_t end = 0;  // first byte after it
};

// The data descriptor that starts at offset, signed or not, with 32-bit or zip64 sizes. The
// form is the one after which a record boundary follows; a signed descriptor with no boundary
// after either form is read in its 32-bit form. Nothing when no form fits.
std::optional<DataDescriptor> ReadDescriptor(ScanReader& reader, std::uint64_t offset);

// The descriptor that ends at a record boundary, unsigned, whose compressed size is the distance
// from dataOffset to it; nothing when none fits.
std::optional<DataDescriptor> UnsignedDescriptorBefore(ScanReader& reader, std::uint64_t boundary,
                                                       std::uint64_t dataOffset);

}  // namespace engine
