// The package's own central directory, when it survived: a second opinion on the sizes and
// CRC-32s of the parts it lists, and on which local headers are the package's own rather than
// those of a package embedded in a part.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/scan_reader.h"

namespace engine {

struct CentralEntry {
  std::uint16_t method = 0;
  std::uint32_t crc = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t uncompressedSize = 0;
  std::vector<std::uint8_t> name;  // as the directory spells it, byte for byte
};

struct CentralDirectory {
  bool intact = false;
  // Entries by the file offset of their local header (corrected for junk in front of the
  // package).
  std::map<std::uint64_t, CentralEntry> entries;
  // The byte range of the directory and its end records.
  std::uint64_t start = 0;
  std::uint64_t end = 0;
};

// Reads the central directory found through the end record near the end of the file. Intact
// only when every entry it announces reads whole and in a chain up to the end record.
CentralDirectory ReadCentralDirectory(ScanReader& reader);

// Where the central directory header at offset ends, when a record boundary follows it (which
// tells a real header from "PK\1\2" bytes elsewhere); nothing otherwise.
std::optional<std::uint64_t> CentralHeaderEnd(ScanReader& reader, std::uint64_t offset);

}  // namespace engine
