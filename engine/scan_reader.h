// A read buffer over an open package with 64-bit, bounds-checked offsets, for the scanner.
//
// The scanner looks at every byte of a damaged package, so it cannot afford one system call per
// window step; it also must not trust any offset it reads from the file. ScanReader keeps one
// window of the file in memory and serves byte ranges and signature searches from it, loading
// the next window only when an access leaves the current one. Accesses past the end of the file
// simply come back short.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/file.h"
#include "zip/part_inflater.h"

namespace engine {

// A 4-byte zip signature: "PK" followed by two record bytes.
using Signature = std::array<std::uint8_t, 4>;

inline constexpr Signature kLocalHeaderSignature{0x50, 0x4B, 0x03, 0x04};
inline constexpr Signature kDataDescriptorSignature{0x50, 0x4B, 0x07, 0x08};

struct SignatureHit {
  std::uint64_t offset = 0;  // file offset of the signature's first byte
  std::size_t which = 0;     // index of the matching signature in the searched set
};

class ScanReader : public zip::ByteSource {
 public:
  // file must stay open while the reader is used; fileSize is its length at the start of the
  // scan. A bufferSize of 0 is taken as 1.
  ScanReader(platform::File& file, std::uint64_t fileSize, std::size_t bufferSize);

  std::uint64_t FileSize() const { return fileSize_; }

  // Copies the bytes at [offset, offset + out.size()) into out. Returns how many bytes were
  // copied: fewer when the range reaches past the end of the file or a read fails.
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

  // The first offset at or after from where one of signatures lies wholly inside the file. All
  // signatures must share their first two bytes ("PK"), which is what the buffer is searched for.
  // Polls *running (when given) before every candidate and every buffer load and gives up,
  // returning nothing, as soon as it reads 0. Nothing also when no signature is left.
  std::optional<SignatureHit> FindSignature(std::uint64_t from,
                                            std::span<const Signature> signatures,
                                            const std::atomic<int>* running);

 private:
  // Makes the buffer start at offset (or keeps it when offset is already inside it).
  // False when nothing can be read there.
  bool Load(std::uint64_t offset);
  bool Holds(std::uint64_t offset) const { return offset >= start_ && offset - start_ < length_; }
  std::optional<std::size_t> MatchAt(std::uint64_t offset, std::span<const Signature> signatures);

  platform::File& file_;
  std::uint64_t fileSize_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t start_ = 0;         // file offset of buffer_[0]
  std::size_t length_ = 0;          // valid bytes in buffer_
  std::uint64_t filePosition_ = 0;  // where the next plain read would start
};

}  // namespace engine
