#include "zip/part_inflater.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <new>
#include <vector>

namespace zip {
namespace {

constexpr std::size_t kInputChunk = 64 * 1024;
constexpr std::size_t kOutputPiece = 256 * 1024;

// Owns a raw inflate stream from a successful inflateInit2 to inflateEnd.
class RawStream {
 public:
  RawStream() { ok_ = inflateInit2(&stream_, -15) == Z_OK; }
  ~RawStream() {
    if (ok_) inflateEnd(&stream_);
  }
  RawStream(const RawStream&) = delete;
  RawStream& operator=(const RawStream&) = delete;
  bool ok() const { return ok_; }
  z_stream& get() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

}  // namespace

const char* InflateEndText(InflateEnd end) {
  switch (end) {
    case InflateEnd::kStreamEnd:
      return "the stream ended";
    case InflateEnd::kCorrupt:
      return "the deflate data is corrupt";
    case InflateEnd::kCutShort:
      return "the data ends before the stream does";
    case InflateEnd::kOutputRefused:
      return "the decoded data could not be written";
    case InflateEnd::kNoMemory:
      return "out of memory";
  }
  return "unknown";
}

PartInflateResult InflatePart(ByteSource& source, std::uint64_t offset, std::uint64_t inputLimit,
                              const InflateSink& sink) {
  PartInflateResult result;
  RawStream raw;
  std::unique_ptr<std::uint8_t[]> input(new (std::nothrow) std::uint8_t[kInputChunk]);
  std::unique_ptr<std::uint8_t[]> output(new (std::nothrow) std::uint8_t[kOutputPiece]);
  if (!raw.ok() || !input || !output) {
    result.end = InflateEnd::kNoMemory;
    return result;
  }
  z_stream& stream = raw.get();
  std::uint64_t read = 0;  // bytes taken from the source so far
  bool inputEnded = false;
  for (;;) {
    if (stream.avail_in == 0 && !inputEnded) {
      const auto want =
          static_cast<std::size_t>(std::min<std::uint64_t>(kInputChunk, inputLimit - read));
      const std::size_t got = want == 0 ? 0 : source.ReadAt(offset + read, {input.get(), want});
      if (got == 0) inputEnded = true;
      read += got;
      stream.next_in = input.get();
      stream.avail_in = static_cast<uInt>(got);
    }
    stream.next_out = output.get();
    stream.avail_out = static_cast<uInt>(kOutputPiece);
    // With no input left, Z_FINISH lets zlib say at once that the stream is incomplete.
    const int status = inflate(&stream, inputEnded ? Z_FINISH : Z_NO_FLUSH);
    const std::size_t made = kOutputPiece - stream.avail_out;
    if (made > 0) {
      const std::span<const std::uint8_t> piece(output.get(), made);
      result.crc = Crc32(result.crc, piece);
      result.produced += made;
      if (sink && !sink(piece)) {
        result.end = InflateEnd::kOutputRefused;
        break;
      }
    }
    if (status == Z_STREAM_END) {
      result.end = InflateEnd::kStreamEnd;
      break;
    }
    if (status == Z_DATA_ERROR || status == Z_NEED_DICT) {
      result.end = InflateEnd::kCorrupt;
      break;
    }
    if (status == Z_MEM_ERROR) {
      result.end = InflateEnd::kNoMemory;
      break;
    }
    // Z_BUF_ERROR or Z_OK without progress once the input is used up: the stream is cut.
    if (inputEnded && made == 0 && stream.avail_in == 0) {
      result.end = InflateEnd::kCutShort;
      break;
    }
  }
  // Counted here rather than from total_in, which has 32 bits on some systems.
  result.consumed = read - stream.avail_in;
  return result;
}

}  // namespace zip
