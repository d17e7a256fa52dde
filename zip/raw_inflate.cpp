#include "zip/raw_inflate.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <optional>

#include "platform/file.h"

namespace zip {
namespace {

constexpr std::uint32_t kInputChunk = 16384;

struct InflateEnder {
  void operator()(z_stream* stream) const noexcept {
    inflateEnd(stream);
    delete stream;
  }
};
using InflateStreamPtr = std::unique_ptr<z_stream, InflateEnder>;

}  // namespace

struct RawInflateHandle {
  platform::File file;
  std::uint64_t startPosition = 0;
  bool streamOpen = false;
  bool started = false;
  // Set once the deflate stream has reported its end: nothing more can come out of it.
  bool streamEnded = false;
  int lastError = kInflOk;
  std::uint32_t inputBudget = 0;
  // A budget given before the first read, which then no longer ties it to the buffer's length.
  std::optional<std::uint32_t> presetBudget;
  std::uint32_t outputDue = 0;
  // Allocated at the first read; the zlib stream's next_in/avail_in are the position and
  // count of the bytes in it that have not been consumed yet.
  std::unique_ptr<Bytef[]> input;
  InflateStreamPtr stream;

  void ReleaseStream() {
    stream.reset();
    input.reset();
    started = false;
    streamOpen = false;
  }
};

void RawInflateCloser::operator()(RawInflateHandle* handle) const noexcept {
  delete handle;
}

const char* RawInflateResultText(int code) {
  switch (code) {
    case kInflOk:
      return "ok";
    case kInflOpenFailed:
      return "the file cannot be opened for reading";
    case kInflNoMemory:
      return "out of memory";
    case kInflMoreOutput:
      return "more output is due";
    case kInflReadFailed:
      return "the file cannot be read";
    case kInflNotOpen:
      return "no open stream";
    case kInflNoPosition:
      return "the file position cannot be obtained";
    case kInflDataError:
      return "corrupt or incomplete deflate data";
    default:
      return "unknown result";
  }
}

int RawInflateOpen(const std::filesystem::path& path, RawInflateHandlePtr& handle) {
  RawInflateHandlePtr fresh(new (std::nothrow) RawInflateHandle);
  if (!fresh) return kInflNoMemory;
  if (!fresh->file.Open(path, platform::File::Mode::kRead)) return kInflOpenFailed;
  const std::int64_t position = fresh->file.Position();
  if (position < 0) return kInflNoPosition;
  fresh->startPosition = static_cast<std::uint64_t>(position);
  fresh->lastError = kInflOk;
  fresh->started = false;
  fresh->streamOpen = true;
  handle = std::move(fresh);
  return kInflOk;
}

namespace {

// Allocates the input buffer and the raw inflate state and positions the file at the stream's
// first byte. Returns kInflOk or the code that ends the stream.
int StartStream(RawInflateHandle& handle, const InflateSizes& sizes) {
  handle.input.reset(new (std::nothrow) Bytef[kInputChunk]);
  InflateStreamPtr stream(new (std::nothrow) z_stream{});
  if (!handle.input || !stream) return kInflNoMemory;
  if (inflateInit2(stream.get(), -15) != Z_OK) {
    // inflateEnd is harmless on a stream whose set-up failed.
    return kInflNoMemory;
  }
  handle.stream = std::move(stream);
  handle.inputBudget = handle.presetBudget.value_or(sizes.length);
  handle.outputDue = sizes.uncompressedSize;
  handle.streamEnded = false;
  if (!handle.file.Seek(handle.startPosition)) return kInflReadFailed;
  handle.started = true;
  return kInflOk;
}

// Refills the input buffer from the file when it is empty and the budget allows. Returns false
// (with lastError set) when the file cannot give the bytes needed.
bool RefillInput(RawInflateHandle& handle) {
  z_stream& stream = *handle.stream;
  if (stream.avail_in > 0 || handle.inputBudget == 0) return true;
  const std::uint32_t want = std::min(kInputChunk, handle.inputBudget);
  const std::int64_t got = handle.file.Read(
      std::span<std::byte>(reinterpret_cast<std::byte*>(handle.input.get()), want));
  if (got <= 0) {
    handle.lastError = kInflReadFailed;
    return false;
  }
  handle.inputBudget -= static_cast<std::uint32_t>(got);
  stream.next_in = handle.input.get();
  stream.avail_in = static_cast<uInt>(got);
  return true;
}

// Inflates into buffer, at most capacity bytes and never more than the output still due.
// Returns the bytes produced, or 0 with lastError set on failure.
std::uint32_t InflateLoop(RawInflateHandle& handle, std::uint8_t* buffer, std::uint32_t capacity) {
  const std::uint32_t window = std::min(capacity, handle.outputDue);
  if (window == 0) return 0;
  // The stream ended before all output due was produced: nothing further can come, and the
  // file is not read past the stream's end.
  if (handle.streamEnded) return 0;
  z_stream& stream = *handle.stream;
  stream.next_out = buffer;
  stream.avail_out = window;
  std::uint32_t produced = 0;
  for (;;) {
    if (!RefillInput(handle)) return 0;
    const uInt before = stream.avail_out;
    const int status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) {
      handle.lastError = kInflDataError;
      return 0;
    }
    const std::uint32_t step = before - stream.avail_out;
    produced += step;
    handle.outputDue -= step;
    if (status == Z_STREAM_END) {
      handle.streamEnded = true;
      break;
    }
    if (handle.outputDue == 0 || stream.avail_out == 0) break;
  }
  return produced;
}

}  // namespace

int RawInflateRead(RawInflateHandle* handle, InflateSizes& sizes, std::uint8_t* buffer) {
  if (handle == nullptr || !handle->streamOpen) return kInflNotOpen;
  handle->lastError = kInflOk;
  if (!handle->started) {
    const int setUp = StartStream(*handle, sizes);
    if (setUp != kInflOk) {
      handle->ReleaseStream();
      sizes.length = 0;
      return setUp;
    }
  }
  sizes.length = InflateLoop(*handle, buffer, sizes.length);
  if (handle->lastError == kInflOk && handle->outputDue > 0) return kInflMoreOutput;
  handle->ReleaseStream();
  return handle->lastError;
}

int RawInflateSetInputBudget(RawInflateHandle* handle, std::uint32_t budget) {
  if (handle == nullptr || !handle->streamOpen || handle->started) return kInflNotOpen;
  handle->presetBudget = budget;
  return kInflOk;
}

void RawInflateClose(RawInflateHandlePtr handle) {
  handle.reset();
}

}  // namespace zip
