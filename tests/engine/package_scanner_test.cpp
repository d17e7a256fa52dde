// The scanner finds the same parts whatever the size of its read buffer, and the damage that
// real packages show (junk in front, cut tails, lost central directories, bad sizes) does not
// hide the parts that are still there.
#include "engine/package_scanner.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>

#include "engine/job_texts.h"
#include "platform/file.h"
#include "testkit/package_builder.h"
#include "testkit/recording_view.h"
#include "testkit/temp_folder.h"

namespace {

using engine::PartEntry;
using engine::ScanList;
using testsupport::Bytes;
using testsupport::Descriptor;
using testsupport::PackageBuilder;

// Tiny buffers make every signature and header straddle buffer edges.
constexpr std::size_t kBufferSizes[] = {1, 3, 4, 5, 7, 64, engine::kScanBufferSize};

class ScannerTest : public ::testing::Test {
 protected:
  std::filesystem::path Write(const Bytes& bytes, const char* name = "package.dotm") {
    const auto path = folder_.Path() / name;
    testsupport::WriteFileBytes(path, bytes);
    return path;
  }

  engine::JobThreadParam Param() { return {.pView = &view_, .pJobRunning = &running_}; }

  // Scans with every buffer size; all must agree.
  ScanList ScanAllWays(const std::filesystem::path& path) {
    ScanList first;
    EXPECT_TRUE(engine::ScanPackage(Param(), path.string(), first, kBufferSizes[0]));
    for (const auto size : kBufferSizes) {
      ScanList list;
      EXPECT_TRUE(engine::ScanPackage(Param(), path.string(), list, size));
      EXPECT_TRUE(list == first) << "buffer size " << size;
    }
    return first;
  }

  testkit::TempFolder folder_{"engine-test-"};
  testsupport::RecordingView view_;
  std::atomic<int> running_{1};
};

// The sample template package, part by part.
PackageBuilder SampleBuilder() {
  PackageBuilder builder;
  for (auto& [name, content] : testsupport::SampleTemplateParts())
    builder.Add({.name = name, .content = content, .method = 8});
  return builder;
}

// The fields the tests state: sizes, method, name and data offset.
ScanList Core(ScanList list) {
  for (auto& entry : list) {
    entry = {.compressedSize = entry.compressedSize,
             .uncompressedSize = entry.uncompressedSize,
             .method = entry.method,
             .partPath = entry.partPath,
             .dataOffset = entry.dataOffset};
  }
  return list;
}

// The parts of the sample package, shifted by junk bytes in front.
ScanList ExpectedSample(std::size_t shift) {
  ScanList expected;
  PackageBuilder builder = SampleBuilder();
  builder.Build();
  const auto parts = testsupport::SampleTemplateParts();
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::wstring path(parts[i].first.begin(), parts[i].first.end());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    expected.push_back(
        {.compressedSize =
             static_cast<std::uint32_t>(testsupport::RawDeflate(parts[i].second).size()),
         .uncompressedSize = static_cast<std::uint32_t>(parts[i].second.size()),
         .method = 8,
         .partPath = path,
         .dataOffset = shift + builder.HeaderOffsets()[i] + 30 + parts[i].first.size()});
  }
  return expected;
}

// Junk in front (a common damage, signatures at offsets 1 to 3 included) is passed over.
TEST_F(ScannerTest, EveryPartInFileOrderWithAnyBufferAfterAnyJunk) {
  for (const std::size_t junk : {0, 1, 2, 3, 4, 5, 17, 5000}) {
    SCOPED_TRACE(junk);
    Bytes bytes = testsupport::NoiseBytes(junk, 9);
    const Bytes package = testsupport::SampleTemplatePackage();
    bytes.insert(bytes.end(), package.begin(), package.end());
    EXPECT_EQ(Core(ScanAllWays(Write(bytes))), ExpectedSample(junk));
  }
  const std::string p = (folder_.Path() / "package.dotm").string();
  const std::vector<testsupport::LogLine> log{{p + std::string(engine::kLogFileOpen), 0},
                                              {p + std::string(engine::kLogFileExtracted), 0},
                                              {p + std::string(engine::kLogFileClosed), 0}};
  const auto recorded = view_.Log();
  ASSERT_GE(recorded.size(), 3u);
  EXPECT_EQ(std::vector(recorded.begin(), recorded.begin() + 3), log);
}

TEST_F(ScannerTest, MissingOrCutCentralDirectoryYieldsTheSameParts) {
  const PackageBuilder builder = SampleBuilder();
  const Bytes intact = builder.Build(true);
  const Bytes bare = builder.Build(false);
  for (std::size_t cut = bare.size(); cut <= intact.size(); cut += 37) {
    SCOPED_TRACE(cut);
    EXPECT_EQ(Core(ScanAllWays(Write(Bytes(intact.begin(), intact.begin() + cut)))),
              ExpectedSample(0));
  }
}

TEST_F(ScannerTest, TruncatedPackageKeepsEveryCompletePartAndTheCutOne) {
  const Bytes package = testsupport::SampleTemplatePackage();
  const auto expected = ExpectedSample(0);
  for (std::size_t i = 1; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    // Cut in the middle of part i's data: parts before it are whole, part i is recorded with
    // its data reaching past the end.
    const std::size_t cut = expected[i].dataOffset + expected[i].compressedSize / 2;
    const ScanList list = ScanAllWays(Write(Bytes(package.begin(), package.begin() + cut)));
    ASSERT_EQ(list.size(), i + 1);
    EXPECT_EQ(Core(ScanList(list.begin(), list.begin() + i)),
              ScanList(expected.begin(), expected.begin() + i));
    EXPECT_EQ(list[i].partPath, expected[i].partPath);
    EXPECT_EQ(list[i].status, engine::PartStatus::kCutShort);
  }
}

// Streaming writers put the sizes in a descriptor after the data, with or without its
// signature; either gives the sizes and the CRC-32.
TEST_F(ScannerTest, SignedAndUnsignedDescriptorsGiveTheSizes) {
  const Bytes content = testsupport::XmlLikeBytes(3000, 4);
  const auto compressed = static_cast<std::uint32_t>(testsupport::RawDeflate(content).size());
  PackageBuilder builder;
  builder.Add({.name = "word/signed.xml", .content = content, .descriptor = Descriptor::kSigned});
  builder.Add(
      {.name = "word/unsigned.xml", .content = content, .descriptor = Descriptor::kUnsigned});
  builder.AddStored("after.txt", "still found");
  // Without a central directory, whose sizes would be the second opinion.
  const ScanList list = ScanAllWays(Write(builder.Build(false)));
  ASSERT_EQ(list.size(), 3u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(list[i].compressedSize, compressed);
    EXPECT_EQ(list[i].uncompressedSize, content.size());
    EXPECT_EQ(list[i].crc, crc32(0, content.data(), static_cast<uInt>(content.size())));
    EXPECT_EQ(list[i].evidence, engine::SizeEvidence::kDescriptor);
  }
  EXPECT_EQ(list[0].partPath, L"word\\signed.xml");
  EXPECT_EQ(list[0].dataOffset, builder.HeaderOffsets()[0] + 30 + 15);
  EXPECT_EQ(list[0].endOffset, list[0].dataOffset + compressed + 16);
  EXPECT_EQ(list[1].partPath, L"word\\unsigned.xml");
  EXPECT_EQ(list[1].endOffset, list[1].dataOffset + compressed + 12);
  EXPECT_EQ(list[2].partPath, L"after.txt");
  EXPECT_EQ(list[2].method, 0);
}

TEST_F(ScannerTest, FolderEntriesAddNoPart) {
  PackageBuilder builder;
  builder.AddFolder("word/").AddFolder("word/media/");
  // A folder name with sizes would otherwise become a file blocking the folder.
  builder.Add({.name = "docProps/", .content = testsupport::ToBytes("x"), .method = 0});
  builder.AddStored("word/media/image1.png", "png");
  const ScanList list = ScanAllWays(Write(builder.Build()));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].partPath, L"word\\media\\image1.png");
}

TEST_F(ScannerTest, NameBytesBecomeOneCharacterEach) {
  std::string high;
  for (int b = 0x80; b <= 0xFF; ++b)
    high += static_cast<char>(b);
  PackageBuilder builder;
  builder.AddStored("word/" + high, "high");
  builder.AddStored(std::string("cut\0after", 9), "nul");
  builder.AddStored(std::string(1500, 'n'), "long");
  builder.AddStored(std::string("\0name", 5), "dropped: empty name");
  const ScanList list = ScanAllWays(Write(builder.Build()));
  ASSERT_EQ(list.size(), 3u);
  std::wstring expectedHigh = L"word\\";
  for (wchar_t c = 0x80; c <= 0xFF; ++c)
    expectedHigh += c;
  EXPECT_EQ(list[0].partPath, expectedHigh);
  EXPECT_EQ(list[1].partPath, L"cut");
  EXPECT_EQ(list[2].partPath, std::wstring(engine::kMaxPartPathLength, L'n'));
  EXPECT_EQ(list[2].dataOffset, builder.HeaderOffsets()[2] + 30 + 1500);
}

TEST_F(ScannerTest, CompressedSizePastTheEndDoesNotHideLaterParts) {
  PackageBuilder builder;
  builder.AddStored("first.xml", "first");
  builder.Add({.name = "damaged.xml",
               .content = testsupport::ToBytes("damaged"),
               .method = 0,
               .compressedSizeField = 0xFFFFFF00u});
  builder.AddStored("third.xml", "third");
  builder.AddDeflated("fourth.xml", "fourth fourth fourth");
  const ScanList list = ScanAllWays(Write(builder.Build()));
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[1].partPath, L"damaged.xml");
  // The stated uncompressed size is the one a header follows.
  EXPECT_EQ(list[1].compressedSize, 7u);
  EXPECT_EQ(list[1].evidence, engine::SizeEvidence::kFollowed);
  EXPECT_EQ(list[2].partPath, L"third.xml");
  EXPECT_EQ(list[3].partPath, L"fourth.xml");
}

TEST_F(ScannerTest, MissingFileShowsTheSystemTextAndLogsNothing) {
  ScanList list;
  EXPECT_FALSE(engine::ScanPackage(Param(), (folder_.Path() / "absent.dotm").string(), list));
  const auto messages = view_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  platform::File absent;
  EXPECT_FALSE(absent.Open(folder_.Path() / "absent.dotm", platform::File::Mode::kRead));
  EXPECT_EQ(messages[0].text, platform::LastErrorText());
  EXPECT_EQ(messages[0].caption, "Brenvik Viva Zadado");
  EXPECT_EQ(messages[0].style, 0x40u);
  EXPECT_TRUE(view_.Log().empty());
  EXPECT_TRUE(list.empty());
}

TEST_F(ScannerTest, StopEndsTheScanButTheClosingLinesAreWritten) {
  const auto path = Write(testsupport::SampleTemplatePackage());
  view_.OnLogContaining(" file is open", [this] { running_ = 0; });
  ScanList list;
  EXPECT_TRUE(engine::ScanPackage(Param(), path.string(), list, 7));
  EXPECT_TRUE(list.empty());
  ASSERT_EQ(view_.Log().size(), 3u);
  EXPECT_EQ(view_.Log()[2].text, path.string() + " file is closed....\r\n");
}

TEST_F(ScannerTest, DamagedVariantsGiveTheSamePartsWithAnyBuffer) {
  // Random byte damage, signature fragments and cuts: the parts found must not depend on where
  // the read buffer's edges fall.
  const Bytes good = testsupport::SampleTemplatePackage();
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    Bytes bytes = good;
    for (int flips = 0; flips < 6; ++flips) {
      const std::size_t at = next() % bytes.size();
      static const std::uint8_t kFragments[] = {0x50, 0x4B, 0x03, 0x04, 0x07, 0x08, 0x00};
      bytes[at] = kFragments[next() % std::size(kFragments)];
    }
    bytes.resize(bytes.size() - next() % 2000);
    ScanAllWays(Write(bytes));
  }
}

}  // namespace
