// Little-endian binary records (zip headers): LittleEndianBuffer assembles one in memory so that
// it is written with one call; LittleEndianReader reads one field after the other from bytes
// that came from an untrusted file.
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

// A bounds-checked cursor over a record's bytes. Each read takes the next field; a read that
// would pass the end yields 0 (or an empty span) and clears ok() for good, so that a caller
// reads all fields of a record and checks once at the end.
class LittleEndianReader {
 public:
  explicit LittleEndianReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

  std::uint16_t Get16() { return static_cast<std::uint16_t>(GetUnsigned(2)); }
  std::uint32_t Get32() { return static_cast<std::uint32_t>(GetUnsigned(4)); }
  std::uint64_t Get64() { return GetUnsigned(8); }
  // The next count bytes as they are.
  std::span<const std::uint8_t> GetBytes(std::size_t count) {
    if (!Has(count)) return {};
    const auto bytes = m_bytes.subspan(m_position, count);
    m_position += count;
    return bytes;
  }
  void Skip(std::size_t count) { GetBytes(count); }

  bool ok() const { return m_ok; }
  std::size_t Position() const { return m_position; }
  std::size_t Remaining() const { return m_bytes.size() - m_position; }

 private:
  bool Has(std::size_t count) {
    if (m_ok && count <= Remaining()) return true;
    m_ok = false;
    return false;
  }
  std::uint64_t GetUnsigned(std::size_t count) {
    if (!Has(count)) return 0;
    std::uint64_t value = 0;
    for (std::size_t i = count; i > 0; --i)
      value = (value << 8) | m_bytes[m_position + i - 1];
    m_position += count;
    return value;
  }

  std::span<const std::uint8_t> m_bytes;
  std::size_t m_position = 0;
  bool m_ok = true;
};

}  // namespace zip
