#include "zip/deflate_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace zip {
namespace {

constexpr int kRawWindowBits = -15;
constexpr int kMemoryLevel = 8;

struct DeflateEnder {
  void operator()(z_stream* stream) const noexcept {
    deflateEnd(stream);
    delete stream;
  }
};
using DeflateStreamPtr = std::unique_ptr<z_stream, DeflateEnder>;

DeflateStreamPtr StartDeflate(int level) {
  auto stream = std::make_unique<z_stream>();
  if (deflateInit2(stream.get(), level, Z_DEFLATED, kRawWindowBits, kMemoryLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    return nullptr;
  }
  return DeflateStreamPtr(stream.release());
}

// Runs deflate over the input the stream holds, handing every filled buffer to the sink. With
// Z_FINISH it runs until the stream end. False on a zlib error or a short write.
bool Drain(z_stream& stream, int flush, DeflateSink& sink, std::span<std::byte> buffer) {
  auto* out = reinterpret_cast<Bytef*>(buffer.data());
  const auto capacity = static_cast<uInt>(buffer.size());
  for (;;) {
    const int status = deflate(&stream, flush);
    if (status == Z_STREAM_ERROR) return false;
    const std::size_t filled = capacity - stream.avail_out;
    const bool full = stream.avail_out == 0;
    if (full || (status == Z_STREAM_END && filled > 0)) {
      if (!sink.Write(buffer.first(filled))) return false;
      stream.next_out = out;
      stream.avail_out = capacity;
    }
    if (flush == Z_FINISH) {
      if (status == Z_STREAM_END) return true;
      // Z_OK here means the buffer filled and was handed on; anything else cannot progress.
      if (status != Z_OK) return false;
      continue;
    }
    // Without flushing, deflate is done with this input when it leaves output room unused.
    if (!full && stream.avail_in == 0) return true;
    if (status != Z_OK && status != Z_BUF_ERROR) return false;
  }
}

}  // namespace

std::uint16_t DeflateLevelFlags(int level) {
  if (level <= 2) return 0x0004;
  if (level >= 8) return 0x0002;
  return 0;
}

std::optional<std::uint64_t> DeflateEntryData(int level, std::uint16_t& flags,
                                              DeflateSource& source, DeflateSink& sink,
                                              std::span<std::byte> transferBuffer) {
  if (level < 1 || level > 9 || transferBuffer.empty() ||
      transferBuffer.size() > std::numeric_limits<uInt>::max()) {
    return std::nullopt;
  }
  DeflateStreamPtr stream = StartDeflate(level);
  if (!stream) return std::nullopt;
  flags |= DeflateLevelFlags(level);
  stream->next_out = reinterpret_cast<Bytef*>(transferBuffer.data());
  stream->avail_out = static_cast<uInt>(transferBuffer.size());
  for (;;) {
    std::span<const std::byte> piece = source.NextPiece();
    if (piece.empty()) break;
    // zlib counts input in uInt; a larger piece is fed in parts.
    while (!piece.empty()) {
      const std::size_t part =
          std::min<std::size_t>(piece.size(), std::numeric_limits<uInt>::max());
      // zlib's input pointer is not const but deflate never writes through it.
      stream->next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(piece.data()));
      stream->avail_in = static_cast<uInt>(part);
      if (!Drain(*stream, Z_NO_FLUSH, sink, transferBuffer)) return std::nullopt;
      piece = piece.subspan(part);
    }
  }
  if (!Drain(*stream, Z_FINISH, sink, transferBuffer)) return std::nullopt;
  return static_cast<std::uint64_t>(stream->total_out);
}

}  // namespace zip
