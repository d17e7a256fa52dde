// CRC-32 as zip records hold it (the reflected polynomial 0x04C11DB7 of zlib's crc32). Every part
// a repair reads is checked with it, and again when the saved package is read back, so it runs
// over each byte several times: on processors with carry-less multiplication it folds 64 bytes
// per step, elsewhere zlib computes it.
#pragma once

#include <cstdint>
#include <span>

namespace zip {

// The CRC-32 of bytes, continuing from crc (0 to start); the same value as zlib's crc32.
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes);
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::byte> bytes);

// The same, always through zlib: the reference the faster path is tested against.
std::uint32_t ZlibCrc32(std::uint32_t crc, std::span<const std::uint8_t> bytes);

}  // namespace zip
