// The folded CRC-32 must give zlib's value for every length, alignment and starting value, since
// every part a repair calls whole is judged by it.
#include "zip/crc32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "testkit/package_builder.h"

namespace {

TEST(Crc32Test, EqualsZlibForEveryLengthAlignmentAndStart) {
  const std::vector<std::uint8_t> noise = testsupport::NoiseBytes(5000, 7);
  const std::span<const std::uint8_t> all(noise);
  for (const std::uint32_t start : {0u, 1u, 0xFFFFFFFFu, 0x12345678u}) {
    for (std::size_t offset = 0; offset < 16; offset += 3) {
      for (std::size_t size = 0; size + offset <= 1100; ++size) {
        const auto bytes = all.subspan(offset, size);
        ASSERT_EQ(zip::Crc32(start, bytes), zip::ZlibCrc32(start, bytes))
            << "start " << start << ", offset " << offset << ", size " << size;
      }
    }
  }
}

TEST(Crc32Test, KnownValuesAndPiecesMakeTheWhole) {
  const std::string check = "123456789";
  EXPECT_EQ(zip::Crc32(0, std::as_bytes(std::span(check))), 0xCBF43926u);
  const std::vector<std::uint8_t> zeros(100000, 0);
  EXPECT_EQ(zip::Crc32(0, zeros), zip::ZlibCrc32(0, zeros));
  const std::vector<std::uint8_t> noise = testsupport::NoiseBytes(300000, 3);
  const std::span<const std::uint8_t> all(noise);
  std::uint32_t pieces = 0;
  for (std::size_t at = 0; at < all.size(); at += 4099) {
    pieces = zip::Crc32(pieces, all.subspan(at, std::min<std::size_t>(4099, all.size() - at)));
  }
  EXPECT_EQ(pieces, zip::ZlibCrc32(0, all));
  EXPECT_EQ(zip::Crc32(0, all), pieces);
}

}  // namespace
