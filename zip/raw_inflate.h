// Raw inflate over a file: a raw deflate stream (no zlib or gzip wrapper) that starts at the
// first byte of a file is inflated into a buffer the caller supplies, reading the file in
// chunks of 16384 bytes within an input budget.
//
// Calling order: one RawInflateOpen; one or more RawInflateRead (more than one only after
// kInflMoreOutput); one RawInflateClose (or let the handle go out of scope).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

namespace zip {

// Result codes of raw inflate.
inline constexpr int kInflOk = 0;           // success; for a read: all output due was produced
inline constexpr int kInflOpenFailed = 1;   // open: the file cannot be opened for reading
inline constexpr int kInflNoMemory = 2;     // open, read: handle, buffer or state not allocated
inline constexpr int kInflMoreOutput = 5;   // read: no error, output still due (buffer full or
                                            // the stream ended early)
inline constexpr int kInflReadFailed = 7;   // read: positioning or a file read failed, or the
                                            // file had no bytes left while input was needed
inline constexpr int kInflNotOpen = 9;      // read: null handle or no open stream
inline constexpr int kInflNoPosition = 16;  // open: the file position cannot be obtained
inline constexpr int kInflDataError = 18;   // read: corrupt data, or no progress possible with
                                            // the input budget used up

// Text for a result code, for diagnostics.
const char* RawInflateResultText(int code);

struct InflateSizes {
  // In: bytes the buffer can take; at the first read also the input budget (most compressed
  // bytes ever read for this stream). Out: bytes this read wrote into the buffer.
  std::uint32_t length = 0;
  // Total bytes the stream is to produce; read at the first read only.
  std::uint32_t uncompressedSize = 0;
};

struct RawInflateHandle;
struct RawInflateCloser {
  void operator()(RawInflateHandle* handle) const noexcept;
};
// Owns the handle from a successful open; destroying it is RawInflateClose.
using RawInflateHandlePtr = std::unique_ptr<RawInflateHandle, RawInflateCloser>;

// Opens a raw deflate stream on the file at path. On success sets handle and returns kInflOk;
// on failure returns the code and leaves handle untouched.
int RawInflateOpen(const std::filesystem::path& path, RawInflateHandlePtr& handle);

// Inflates into buffer (at least sizes.length bytes). Returns a result code and sets
// sizes.length to the bytes written by this read. Output never exceeds the uncompressedSize of
// the first read (a longer stream is cut there and succeeds); a stream that ends early returns
// kInflMoreOutput with the bytes it gave, and further reads return kInflMoreOutput with
// length 0 without reading the file: a read that gives nothing means nothing more can come. Any
// result but kInflMoreOutput finishes the handle: later reads return kInflNotOpen.
int RawInflateRead(RawInflateHandle* handle, InflateSizes& sizes, std::uint8_t* buffer);

// Sets the input budget before the first read, so that a caller can inflate a stream of known
// compressed size in several reads into a small buffer (the first read's length then only sets
// the buffer's capacity). Returns kInflNotOpen after the first read or on a null handle.
int RawInflateSetInputBudget(RawInflateHandle* handle, std::uint32_t budget);

// Releases the stream and closes the file. Valid in every state after a successful open.
void RawInflateClose(RawInflateHandlePtr handle);

}  // namespace zip
