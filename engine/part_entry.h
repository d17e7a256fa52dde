// One part found by the scanner, with the evidence its sizes rest on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace engine {

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;

// What became of a part: whole (its bytes match its CRC-32), cut short (the file or the deflate
// stream ends early: the bytes before are kept), damaged (all its bytes are there but they do not
// match the CRC-32, or no CRC-32 survived to check them), lost, or identified (its header was
// destroyed: its data was found by its content, and its name follows from what it holds).
enum class PartStatus { kWhole, kCutShort, kDamaged, kLost, kIdentified };

// How the end of a part's data was found.
enum class SizeEvidence {
  kFollowed,    // a stated size is followed by a zip signature (or the end of the file)
  kDescriptor,  // a data descriptor whose compressed size is the distance to it
  kCrcMatch,    // a stored part: the bytes up to a later signature match its CRC-32
  kStreamEnd,   // a deflated part: where its stream ended when inflated
  kEndOfFile,   // the data reaches the end of the file
  kEmbedded,    // a stored part holding a whole package: where that package's end record ends
  kUnsized,     // nothing tells where the part ends
};

struct PartEntry {
  std::uint64_t compressedSize = 0;    // bytes of part data in the package
  std::uint64_t uncompressedSize = 0;  // bytes once extracted, as the best evidence says
  std::uint16_t method = 0;            // compression method of the local header
  std::wstring partPath;               // header name, one character per byte, '/' as '\\'
  std::uint64_t dataOffset = 0;        // file offset of the first data byte

  std::uint64_t headerOffset = 0;    // file offset of the local header's signature
  std::uint64_t endOffset = 0;       // first byte after the data and its descriptor
  std::uint16_t flags = 0;           // general purpose flags
  std::optional<std::uint32_t> crc;  // the CRC-32 the header, descriptor or directory states
  SizeEvidence evidence = SizeEvidence::kUnsized;
  bool inCentralDirectory = false;  // an intact central directory lists this header
  // What the scan already knows: kCutShort when the file ends inside the data, kLost when
  // the part cannot be decoded at all (or has no name it can go under), kDamaged when its name
  // may not be its own; otherwise kWhole until extraction checks the bytes.
  PartStatus status = PartStatus::kWhole;
  // Found by its content where its header was destroyed: its name and sizes are inferred, not
  // read. A report of the run gives such a part the fate "identified".
  bool identified = false;

  bool operator==(const PartEntry&) const = default;
};

// The scan list: the current package's parts in the order their headers were met.
using ScanList = std::vector<PartEntry>;

}  // namespace engine
