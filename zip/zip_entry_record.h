// One zip entry as the writer records it, and the three records of the archive format built
// from it: local file header, central directory header and end of central directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "zip/little_endian.h"

namespace zip {

inline constexpr std::uint32_t kLocalSignature = 0x04034B50;
inline constexpr std::uint32_t kCentralSignature = 0x02014B50;
inline constexpr std::uint32_t kEndSignature = 0x06054B50;
inline constexpr std::uint16_t kVersionMadeBy = 0x0B17;
inline constexpr std::uint16_t kVersionNeeded = 20;
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;
inline constexpr std::uint16_t kExtendedTimestampId = 0x5455;
inline constexpr std::uint8_t kTimestampFlags = 0x07;
inline constexpr std::uint16_t kLocalExtraLength = 17;
inline constexpr std::uint16_t kCentralExtraLength = 9;
inline constexpr std::size_t kLocalHeaderFixed = 30;
inline constexpr std::size_t kCentralHeaderFixed = 46;
inline constexpr std::size_t kEndRecordSize = 22;

// Built when the entry is started, completed after its data, kept until the archive closes.
struct ZipEntryRecord {
  std::uint16_t versionMadeBy = kVersionMadeBy;
  std::uint16_t versionNeeded = kVersionNeeded;
  std::uint16_t centralFlags = kFlagDataDescriptor;
  std::uint16_t localFlags = kFlagDataDescriptor;
  std::uint16_t method = kMethodDeflated;
  std::uint32_t dosDateTime = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint32_t externalAttributes = 0;
  std::uint32_t localHeaderOffset = 0;
  std::uint32_t modifyTime = 0;
  std::uint32_t accessTime = 0;
  std::uint32_t createTime = 0;
  std::string name;

  std::size_t LocalHeaderSize() const {
    return kLocalHeaderFixed + name.size() + kLocalExtraLength;
  }
};

// Appends the local header (30 bytes, the name, the 17-byte extended timestamp).
void PutLocalHeader(LittleEndianBuffer& out, const ZipEntryRecord& entry);
// Appends the central directory header (46 bytes, the name, the 9-byte extended timestamp).
void PutCentralHeader(LittleEndianBuffer& out, const ZipEntryRecord& entry);
// Appends the end of central directory record (22 bytes, no comment).
void PutEndRecord(LittleEndianBuffer& out, std::uint16_t count, std::uint32_t directorySize,
                  std::uint32_t directoryOffset);

}  // namespace zip
