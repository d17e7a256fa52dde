#include "zip/entry_source.h"

#include <algorithm>

#include "zip/crc32.h"

namespace zip {

EntrySource::EntrySource(platform::File& file, std::span<std::byte> buffer, std::uint64_t failAfter)
    : m_file(file), m_buffer(buffer), m_nFailAfter(failAfter) {}

std::span<const std::byte> EntrySource::NextPiece() {
  if (m_bEnded) return {};
  const std::uint64_t allowed = m_nFailAfter - std::min(m_nFailAfter, m_nBytesRead);
  const std::int64_t got =
      allowed == 0 ? -1
                   : m_file.Read(m_buffer.first(std::min<std::uint64_t>(m_buffer.size(), allowed)));
  if (got <= 0) {
    // A read error ends the source like the end of the file: the entry then describes
    // exactly the bytes read so far.
    m_bEnded = true;
    return {};
  }
  const auto piece = m_buffer.first(static_cast<std::size_t>(got));
  m_nCrc = Crc32(m_nCrc, piece);
  m_nBytesRead += piece.size();
  return piece;
}

}  // namespace zip
