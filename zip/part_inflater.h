// Inflates one part's raw deflate stream straight from the package, from the part's data offset
// to the end of its stream, once. What the inflater consumed is the part's real compressed size
// and what it produced its real size: the sizes a damaged header claims are only checked against
// these, never trusted to bound the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "zip/crc32.h"  // Crc32, which callers of InflatePart check its output with

namespace zip {

// Bytes of a package at 64-bit offsets. ReadAt copies what the file holds at
// [offset, offset + out.size()) and returns how many bytes it copied: fewer at the end of the
// file or when a read fails.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// How an inflation ended.
enum class InflateEnd {
  kStreamEnd,      // the stream's final block was decoded
  kCorrupt,        // the data is not valid deflate from some point on
  kCutShort,       // the input (file or limit) ended before the stream did
  kOutputRefused,  // the sink refused a piece (a failed write)
  kNoMemory,       // the inflater could not be set up
};
const char* InflateEndText(InflateEnd end);

struct PartInflateResult {
  InflateEnd end = InflateEnd::kCorrupt;
  std::uint64_t consumed = 0;  // compressed bytes the stream used (up to the damage, if any)
  std::uint64_t produced = 0;  // bytes decoded and handed to the sink
  std::uint32_t crc = 0;       // CRC-32 of the produced bytes
};

// Receives the decoded bytes piece by piece, in order; returns false to stop (a failed write).
using InflateSink = std::function<bool(std::span<const std::uint8_t>)>;

// Inflates the raw deflate stream that starts at offset, reading at most inputLimit bytes of
// source. Every byte decoded before a corruption or a cut is handed to sink (when given), so a
// damaged part keeps its good prefix. The source is read in order, in chunks.
PartInflateResult InflatePart(ByteSource& source, std::uint64_t offset, std::uint64_t inputLimit,
                              const InflateSink& sink);

}  // namespace zip
