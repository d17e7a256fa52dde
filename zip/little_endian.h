// Assembles little-endian binary records (zip headers) in memory, so that each record is
// written with one call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zip {

class LittleEndianBuffer {
 public:
  void Put8(std::uint8_t value) { m_bytes.push_back(static_cast<std::byte>(value)); }
  void Put16(std::uint16_t value) {
    Put8(static_cast<std::uint8_t>(value));
    Put8(static_cast<std::uint8_t>(value >> 8));
  }
  void Put32(std::uint32_t value) {
    Put16(static_cast<std::uint16_t>(value));
    Put16(static_cast<std::uint16_t>(value >> 16));
  }
  void PutBytes(std::string_view bytes) {
    for (const char c : bytes)
      Put8(static_cast<std::uint8_t>(c));
  }

  std::span<const std::byte> Bytes() const { return m_bytes; }
  std::size_t Size() const { return m_bytes.size(); }
  void Clear() { m_bytes.clear(); }

 private:
  std::vector<std::byte> m_bytes;
};

}  // namespace zip
