#include "zip/deflate_encoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testkit/package_builder.h"
#include "testkit/zip_parse.h"

namespace {

// Hands out a text in pieces of a fixed size.
class TextSource final : public zip::DeflateSource {
 public:
  TextSource(const std::string& text, std::size_t piece) : m_text(text), m_nPiece(piece) {}
  std::span<const std::byte> NextPiece() override {
    const std::size_t size = std::min(m_nPiece, m_text.size() - m_nAt);
    const auto* start = reinterpret_cast<const std::byte*>(m_text.data()) + m_nAt;
    m_nAt += size;
    return {start, size};
  }

 private:
  const std::string& m_text;
  std::size_t m_nPiece;
  std::size_t m_nAt = 0;
};

// Collects the output; refuses every write after the first failAfter ones.
class CollectingSink final : public zip::DeflateSink {
 public:
  explicit CollectingSink(int failAfter = -1) : m_nFailAfter(failAfter) {}
  bool Write(std::span<const std::byte> data) override {
    if (m_nFailAfter >= 0 && m_nWrites >= m_nFailAfter) return false;
    ++m_nWrites;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    m_output.insert(m_output.end(), bytes, bytes + data.size());
    return true;
  }
  std::vector<std::uint8_t> m_output;

 private:
  int m_nFailAfter;
  int m_nWrites = 0;
};

std::string Text(std::size_t size, bool compressible) {
  const auto bytes =
      compressible ? testsupport::XmlLikeBytes(size, 3) : testsupport::NoiseBytes(size, 3);
  return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

TEST(DeflateEncoder, RoundTripsOverManyPiecesAndBuffers) {
  struct Case {
    std::size_t size;
    bool compressible;
    std::size_t piece;
    std::size_t buffer;
  };
  for (const Case& c :
       {Case{0, true, 100, 16384}, Case{1, true, 1, 1}, Case{100000, true, 777, 16384},
        Case{100000, true, 262144, 7}, Case{70000, false, 65536, 16384}}) {
    SCOPED_TRACE(::testing::Message() << c.size << " bytes in pieces of " << c.piece);
    const std::string text = Text(c.size, c.compressible);
    TextSource source(text, c.piece);
    CollectingSink sink;
    std::vector<std::byte> buffer(c.buffer);
    std::uint16_t flags = 0x0008;
    const auto compressed = zip::DeflateEntryData(8, flags, source, sink, buffer);
    ASSERT_TRUE(compressed.has_value());
    EXPECT_EQ(*compressed, sink.m_output.size());
    EXPECT_EQ(flags, 0x000A);
    EXPECT_EQ(zip_test::InflateRaw(sink.m_output), text);
    if (c.size == 0) {
      EXPECT_EQ(sink.m_output, (std::vector<std::uint8_t>{0x03, 0x00}));
    }
  }
}

TEST(DeflateEncoder, FailuresGiveNothing) {
  const std::string text = Text(200000, false);
  std::vector<std::byte> buffer(16384);
  std::uint16_t flags = 0;
  for (const int failAfter : {0, 1, 5}) {
    TextSource source(text, 65536);
    CollectingSink sink(failAfter);
    EXPECT_FALSE(zip::DeflateEntryData(8, flags, source, sink, buffer)) << failAfter;
  }
  for (const int level : {-1, 0, 10}) {
    TextSource source(text, 65536);
    CollectingSink sink;
    EXPECT_FALSE(zip::DeflateEntryData(level, flags, source, sink, buffer)) << level;
  }
  TextSource source(text, 65536);
  CollectingSink sink;
  EXPECT_FALSE(zip::DeflateEntryData(8, flags, source, sink, {})) << "no transfer buffer";
}

TEST(DeflateEncoder, LevelFlags) {
  const std::pair<int, std::uint16_t> expected[] = {{1, 4}, {2, 4}, {3, 0}, {7, 0}, {8, 2}, {9, 2}};
  for (const auto& [level, bits] : expected)
    EXPECT_EQ(zip::DeflateLevelFlags(level), bits);
}

}  // namespace
