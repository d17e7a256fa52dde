// Raw deflate (RFC 1951, no zlib or gzip wrapper) of one zip entry's data, pulled from a source
// in pieces and pushed through the writer's transfer buffer to the archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zip {

// The level every deflated entry of this program is written with.
inline constexpr int kDeflateLevel = 8;

// Gives the encoder the source's bytes. The source keeps its own CRC-32 and byte count.
class DeflateSource {
 public:
  virtual ~DeflateSource() = default;
  // The next piece of the source, valid until the next call; empty at the end of the source
  // (a failing read counts as the end).
  virtual std::span<const std::byte> NextPiece() = 0;
};

// Takes the encoder's output, one filled transfer buffer at a time.
class DeflateSink {
 public:
  virtual ~DeflateSink() = default;
  // Writes all of data; false when the write falls short.
  virtual bool Write(std::span<const std::byte> data) = 0;
};

// General purpose flag bits that announce the level of a method 8 entry: 0x0004 for levels up
// to 2, 0x0002 for levels 8 and 9, none otherwise.
std::uint16_t DeflateLevelFlags(int level);

// Encodes the whole source at level (1..9) with a 32 KiB window and memory level 8, using
// transferBuffer (must not be empty) as the output buffer: each time it fills, and once at the
// end, its content goes to sink. Adds the level bits to flags. Returns the number of compressed
// bytes written, or nothing when the level is invalid, zlib fails or a write falls short.
std::optional<std::uint64_t> DeflateEntryData(int level, std::uint16_t& flags,
                                              DeflateSource& source, DeflateSink& sink,
                                              std::span<std::byte> transferBuffer);

}  // namespace zip
