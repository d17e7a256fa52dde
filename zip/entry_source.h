// Reads the source file of one zip entry in large pieces, keeping the CRC-32 and the count of
// the bytes read; feeds both the stored copy and the deflate encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "platform/file.h"
#include "zip/deflate_encoder.h"

namespace zip {

class EntrySource final : public DeflateSource {
 public:
  // Reads from file (positioned at its first byte) into buffer, which must outlive the source.
  // Reads fail once failAfter bytes have been read (tests stand in for a failing disk so).
  EntrySource(platform::File& file, std::span<std::byte> buffer,
              std::uint64_t failAfter = std::numeric_limits<std::uint64_t>::max());

  // The next piece, empty at the end of the file or after a failing read.
  std::span<const std::byte> NextPiece() override;

  std::uint32_t Crc() const { return m_nCrc; }
  std::uint64_t BytesRead() const { return m_nBytesRead; }

 private:
  platform::File& m_file;
  std::span<std::byte> m_buffer;
  std::uint32_t m_nCrc = 0;
  std::uint64_t m_nBytesRead = 0;
  std::uint64_t m_nFailAfter;
  bool m_bEnded = false;
};

}  // namespace zip
