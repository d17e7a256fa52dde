#include "zip/raw_inflate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/zip/test_files.h"

namespace {

using testkit::TempFolder;
using zip::InflateSizes;
using zip::RawInflateHandlePtr;

struct InflateCase {
  const char* label;
  const char* hex;  // the file's bytes
  std::uint32_t uncompressedSize;
  std::uint32_t firstLength;  // length of the first read, the input budget
  int code;                   // result of the last read
  std::uint32_t total;        // bytes produced by all reads
};

// Raw deflate streams: "hello" (fixed codes), "hello world", 50 and 100 times "a", and two
// stored blocks "hello" (not final) and "world" (final).
constexpr const char* kHello = "cb48cdc9c90700";
constexpr const char* kHelloWorld = "cb48cdc9c95728cf2fca490100";
constexpr const char* kFiftyA = "4b4c24150000";
constexpr const char* kHundredA = "4b4ca43d0000";
constexpr const char* kTwoStored = "000500faff68656c6c6f010500faff776f726c64";

const InflateCase kCases[] = {
    {"size 0 reads nothing", kHello, 0, 5, zip::kInflOk, 0},
    {"length 0 at the first read", kHello, 5, 0, zip::kInflMoreOutput, 0},
    {"empty file", "", 5, 5, zip::kInflReadFailed, 0},
    {"stream shorter than the size", kHello, 10, 100, zip::kInflMoreOutput, 5},
    {"stream shorter than the size, in pieces", kFiftyA, 60, 20, zip::kInflMoreOutput, 50},
    {"stream producing more is cut", kHelloWorld, 5, 100, zip::kInflOk, 5},
    {"stream longer than the budget, complete within it", kTwoStored, 5, 10, zip::kInflOk, 5},
    {"stream longer than the budget, incomplete", kTwoStored, 10, 10, zip::kInflDataError, 0},
    {"stream shorter than the budget", kHello, 5, 16384 * 2, zip::kInflOk, 5},
    {"many outputs from few inputs", kHundredA, 100, 16, zip::kInflOk, 100},
    {"truncated stream, file ends", "cb48cd", 5, 100, zip::kInflReadFailed, 0},
    {"invalid block type", "07", 5, 5, zip::kInflDataError, 0},
    {"bad stored length check", "000500000068656c6c6f", 5, 10, zip::kInflDataError, 0},
};

void WriteHex(const std::filesystem::path& path, std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  zip_test::WriteFile(path, bytes);
}

struct Outcome {
  int code = -1;
  std::uint32_t total = 0;
  std::string output;
};

// Reads the stream at path: a first read of firstLength bytes, then reads of step bytes (or
// of everything still due when step is 0) while the reads fill their buffers.
Outcome InflateFile(const std::filesystem::path& path, std::uint32_t uncompressedSize,
                    std::uint32_t firstLength, std::uint32_t step) {
  RawInflateHandlePtr handle;
  Outcome outcome;
  outcome.code = zip::RawInflateOpen(path, handle);
  if (outcome.code != zip::kInflOk) return outcome;
  InflateSizes sizes{firstLength, uncompressedSize};
  std::uint32_t requested = firstLength;
  for (;;) {
    std::vector<std::uint8_t> buffer(requested + 1u);
    sizes.length = requested;
    outcome.code = zip::RawInflateRead(handle.get(), sizes, buffer.data());
    outcome.total += sizes.length;
    outcome.output.append(reinterpret_cast<const char*>(buffer.data()), sizes.length);
    // A read that leaves its buffer short ended with the stream.
    if (outcome.code != zip::kInflMoreOutput || requested == 0 || sizes.length < requested) {
      break;
    }
    requested = step != 0 ? step : uncompressedSize - outcome.total;
  }
  return outcome;
}

TEST(RawInflate, EdgeCasesWholeAndInSmallSteps) {
  TempFolder folder;
  for (const InflateCase& c : kCases) {
    WriteHex(folder / "stream.bin", c.hex);
    for (const std::uint32_t step : {0u, 1u, 3u, 7u}) {
      SCOPED_TRACE(::testing::Message() << c.label << ", step " << step);
      const Outcome outcome =
          InflateFile(folder / "stream.bin", c.uncompressedSize, c.firstLength, step);
      EXPECT_EQ(outcome.code, c.code);
      EXPECT_EQ(outcome.total, c.total);
    }
  }
}

// A stream that spans several 16384-byte input chunks: read whole, in steps, with a preset
// budget and small reads, and with a budget too small to finish it.
TEST(RawInflate, StreamOverManyInputChunks) {
  TempFolder folder;
  const auto path = folder / "big.bin";
  const testsupport::Bytes content = testsupport::XmlLikeBytes(600000, 7);
  const auto compressed = testsupport::RawDeflate(content);
  ASSERT_GT(compressed.size(), 3u * 16384u);
  zip_test::WriteFile(path, std::string(compressed.begin(), compressed.end()));
  const std::string expected(content.begin(), content.end());
  const auto size = static_cast<std::uint32_t>(content.size());
  const auto budget = static_cast<std::uint32_t>(compressed.size());
  for (const std::uint32_t step : {0u, 4093u}) {
    const Outcome outcome = InflateFile(path, size, size, step);
    EXPECT_EQ(outcome.code, zip::kInflOk);
    EXPECT_TRUE(outcome.output == expected) << "step " << step;
  }
  EXPECT_EQ(InflateFile(path, size, budget / 2, 0).code, zip::kInflDataError);

  for (const std::uint32_t presetBudget : {budget, budget / 2}) {
    RawInflateHandlePtr handle;
    ASSERT_EQ(zip::RawInflateOpen(path, handle), zip::kInflOk);
    ASSERT_EQ(zip::RawInflateSetInputBudget(handle.get(), presetBudget), zip::kInflOk);
    std::string output;
    std::vector<std::uint8_t> piece(1000);  // far smaller than the compressed stream
    int code = zip::kInflMoreOutput;
    while (code == zip::kInflMoreOutput) {
      InflateSizes sizes{static_cast<std::uint32_t>(piece.size()), size};
      code = zip::RawInflateRead(handle.get(), sizes, piece.data());
      output.append(reinterpret_cast<const char*>(piece.data()), sizes.length);
      EXPECT_EQ(zip::RawInflateSetInputBudget(handle.get(), budget), zip::kInflNotOpen)
          << "the budget is fixed once reading started";
    }
    if (presetBudget == budget) {
      EXPECT_EQ(code, zip::kInflOk);
      EXPECT_TRUE(output == expected);
    } else {
      EXPECT_EQ(code, zip::kInflDataError) << "half the compressed bytes cannot finish it";
    }
  }
}

// Open failures, reads after the end, missing handles and closing in every state.
TEST(RawInflate, HandleStates) {
  TempFolder folder;
  const auto path = folder / "s.bin";
  WriteHex(path, kHello);
  RawInflateHandlePtr handle;
  EXPECT_EQ(zip::RawInflateOpen(folder / "missing.bin", handle), zip::kInflOpenFailed);
  EXPECT_EQ(zip::RawInflateOpen(folder.Path(), handle), zip::kInflOpenFailed) << "a folder";
  EXPECT_EQ(handle, nullptr);

  ASSERT_EQ(zip::RawInflateOpen(path, handle), zip::kInflOk);
  std::uint8_t buffer[16] = {};
  InflateSizes sizes{16, 5};
  ASSERT_EQ(zip::RawInflateRead(handle.get(), sizes, buffer), zip::kInflOk);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), "hello");
  sizes = {5, 5};
  EXPECT_EQ(zip::RawInflateRead(handle.get(), sizes, buffer), zip::kInflNotOpen);
  EXPECT_EQ(sizes.length, 5u) << "a refused read changes nothing";
  zip::RawInflateClose(std::move(handle));
  EXPECT_EQ(zip::RawInflateRead(nullptr, sizes, buffer), zip::kInflNotOpen);
  EXPECT_EQ(zip::RawInflateSetInputBudget(nullptr, 1), zip::kInflNotOpen);

  // A stream that ends before the size gives nothing more on later reads.
  ASSERT_EQ(zip::RawInflateOpen(path, handle), zip::kInflOk);
  sizes = {10, 10};
  ASSERT_EQ(zip::RawInflateRead(handle.get(), sizes, buffer), zip::kInflMoreOutput);
  EXPECT_EQ(sizes.length, 5u);
  for (int again = 0; again < 2; ++again) {
    sizes.length = 5;
    EXPECT_EQ(zip::RawInflateRead(handle.get(), sizes, buffer), zip::kInflMoreOutput);
    EXPECT_EQ(sizes.length, 0u);
  }
  zip::RawInflateClose(std::move(handle));  // midway; the sanitizers see any leak of the state
  ASSERT_EQ(zip::RawInflateOpen(path, handle), zip::kInflOk);
  zip::RawInflateClose(std::move(handle));  // unread

  for (const int code :
       {zip::kInflOk, zip::kInflOpenFailed, zip::kInflNoMemory, zip::kInflMoreOutput,
        zip::kInflReadFailed, zip::kInflNotOpen, zip::kInflNoPosition, zip::kInflDataError}) {
    EXPECT_STRNE(zip::RawInflateResultText(code), "unknown result") << code;
  }
}

}  // namespace
