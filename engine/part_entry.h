// One part found by the scanner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

struct PartEntry {
  std::uint32_t compressedSize = 0;    // bytes of part data in the package
  std::uint32_t uncompressedSize = 0;  // bytes once extracted
  std::uint16_t method = 0;      // compression method of the local header (0 stored, 8 deflated)
  std::wstring partPath;         // header name, one character per byte, '/' replaced by '\\'
  std::uint64_t dataOffset = 0;  // file offset of the first data byte

  bool operator==(const PartEntry&) const = default;
};

// The scan list: the current package's parts in the order their headers were met.
using ScanList = std::vector<PartEntry>;

}  // namespace engine
