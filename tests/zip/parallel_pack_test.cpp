// Packing with worker threads must give the very archive, results and left-out files that one
// thread gives, in every case the one-thread writer handles: empty, incompressible, large,
// tiny, vanished, unreadable-part-way and refused files, a full disk and a write failing midway.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/test_helpers.h"
#include "tests/zip/test_files.h"
#include "zip/deflate_pipeline.h"
#include "zip/folder_packer.h"
#include "zip/zip_limits.h"
#include "zip/zip_writer.h"

namespace {

using testkit::TempFolder;
using zip_test::Bytes;

constexpr unsigned kThreadCounts[] = {2, 4};

std::string Noise(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random());
  return bytes;
}

std::string Markup(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size)
    text += "<w:p w:rsidR=\"" + std::to_string(random() % 100000) + "\"><w:t>text</w:t></w:p>";
  text.resize(size);
  return text;
}

// The archive with every local header's access time zeroed: reading a source may move its
// access time between two packs, and that field says nothing about how the data was written.
Bytes WithoutAccessTimes(Bytes bytes) {
  std::string error;
  const auto archive = zip_test::ParseArchive(bytes, &error);
  EXPECT_TRUE(archive.has_value()) << error;
  if (!archive) return bytes;
  for (const auto& entry : archive->entries) {
    const std::size_t at = entry.localHeaderOffset + 30 + entry.name.size() + 9;
    for (std::size_t i = 0; i < 4; ++i)
      bytes[at + i] = 0;
  }
  return bytes;
}

std::map<std::string, std::string> Contents(const Bytes& bytes) {
  std::string error;
  const auto archive = zip_test::ParseArchive(bytes, &error);
  EXPECT_TRUE(archive.has_value()) << error;
  std::map<std::string, std::string> files;
  if (archive) {
    for (const auto& entry : archive->entries)
      files.emplace(entry.name, entry.content);
  }
  return files;
}

struct Packed {
  Bytes bytes;
  std::vector<zip::ZipAddResult> results;
  std::uint32_t closed = 0;
};

class ParallelPackTest : public ::testing::Test {
 protected:
  std::filesystem::path Add(const std::string& name, const std::string& content) {
    const auto path = m_folder / "src" / name;
    zip_test::WriteFile(path, content);
    m_items.push_back({std::wstring(name.begin(), name.end()), path});
    m_contents[name] = content;
    return path;
  }

  // Adds m_items into archive with threads workers; prepare may set limits or faults first.
  Packed Pack(unsigned threads, const std::filesystem::path& archive,
              const std::function<void(zip::ZipHandle*)>& prepare = {}) {
    Packed packed;
    zip::ZipHandlePtr handle = zip::ZipWriterCreate(archive);
    EXPECT_NE(handle, nullptr);
    if (!handle) return packed;
    if (prepare) prepare(handle.get());
    packed.results = zip::ZipWriterAddFiles(handle.get(), m_items, threads);
    packed.closed = zip::ZipWriterClose(std::move(handle));
    if (archive.string().starts_with(m_folder.Path().string()))
      packed.bytes = zip_test::ReadFileBytes(archive);
    return packed;
  }

  // Packs with one thread and with each of kThreadCounts, and expects the same every time.
  Packed PackEveryWay(const std::function<void(zip::ZipHandle*)>& prepare = {}) {
    const Packed one = Pack(1, m_folder / "one.zip", prepare);
    for (const unsigned threads : kThreadCounts) {
      SCOPED_TRACE(std::to_string(threads) + " threads");
      const Packed many = Pack(threads, m_folder / "many.zip", prepare);
      EXPECT_EQ(many.closed, one.closed);
      EXPECT_EQ(many.results, one.results);
      EXPECT_TRUE(WithoutAccessTimes(many.bytes) == WithoutAccessTimes(one.bytes))
          << "archives differ: " << one.bytes.size() << " and " << many.bytes.size() << " bytes";
    }
    return one;
  }

  TempFolder m_folder;
  std::vector<zip::ZipAddItem> m_items;
  std::map<std::string, std::string> m_contents;
};

TEST_F(ParallelPackTest, EveryKindOfFileGivesTheSameArchive) {
  constexpr std::size_t kLarge = 3 * zip::DeflatePipeline::kMaxQueuedPerEntry;
  Add("empty.xml", "");
  Add("empty.zip", "");
  Add("word/document.xml", Markup(2 * zip::DeflatePipeline::kPieceSize + 17, 1));
  Add("word/media/image1.jpeg", Noise(300000, 2));     // incompressible, still deflated
  Add("word/embeddings/inner.zip", Noise(kLarge, 3));  // stored, larger than any queue
  Add("word/media/image2.png", Noise(kLarge + 5, 4));  // deflated, larger than any queue
  Add("word/big.xml", Markup(kLarge, 5));
  for (int i = 0; i < 300; ++i)
    Add("tiny/" + std::to_string(i) + ".xml", std::string(static_cast<std::size_t>(i % 7), 't'));
  const Packed one = PackEveryWay();
  EXPECT_EQ(one.closed, zip::kZipOk);
  for (const auto& result : one.results)
    EXPECT_EQ(result.result, zip::kZipOk);
  EXPECT_EQ(Contents(one.bytes), m_contents);
}

// A source that stops giving bytes part-way is saved as the bytes it gave, whoever reads it.
TEST_F(ParallelPackTest, SourceFailingPartWayGivesTheSameEntries) {
  const std::string large = Markup(3 * zip::DeflatePipeline::kPieceSize, 6);
  Add("before.xml", "before");
  Add("cut.xml", large);
  Add("after.xml", "after");
  const Packed one = PackEveryWay([](zip::ZipHandle* handle) {
    ASSERT_TRUE(zip::SetZipReadFaultForTesting(handle, {"cut.xml", 200000}));
  });
  ASSERT_EQ(one.closed, zip::kZipOk);
  const auto contents = Contents(one.bytes);
  ASSERT_EQ(contents.size(), 3u);
  EXPECT_EQ(contents.at("cut.xml"), large.substr(0, 200000));
  EXPECT_EQ(contents.at("after.xml"), "after");
}

// Refused names, vanished files, folders and sizes beyond the limits: the same code and the
// same system text for each, and the same archive of the rest.
TEST_F(ParallelPackTest, RefusedAndVanishedSourcesGiveTheSameResults) {
  Add("first.xml", "first");
  m_items.push_back({L"gone.xml", m_folder / "src" / "gone.xml"});
  m_items.push_back({std::wstring(260, L'n'), m_items[0].source});
  m_items.push_back({L"", m_items[0].source});
  m_items.push_back({L"folder.xml", m_folder / "src"});
  Add("toolarge.xml", std::string(2000, 'x'));
  Add("second.xml", "second");
  Add("third.xml", "third");
  Add("fourth.xml", "over the entry limit");
  const Packed one = PackEveryWay([](zip::ZipHandle* handle) {
    ASSERT_TRUE(zip::SetZipLimitsForTesting(handle, {.maxEntries = 3, .maxSize = 1000}));
  });
  ASSERT_EQ(one.results.size(), 9u);
  const std::uint32_t expected[] = {zip::kZipOk,          zip::kZipFileError, zip::kZipBadArgument,
                                    zip::kZipBadArgument, zip::kZipFileError, zip::kZipTooLarge,
                                    zip::kZipOk,          zip::kZipOk,        zip::kZipTooLarge};
  for (std::size_t i = 0; i < std::size(expected); ++i)
    EXPECT_EQ(one.results[i].result, expected[i]) << i;
  platform::File missing;
  EXPECT_FALSE(missing.Open(m_folder / "src" / "gone.xml", platform::File::Mode::kRead));
  EXPECT_EQ(one.results[1].systemError, platform::LastErrorText());
  EXPECT_EQ(Contents(one.bytes).size(), 3u);
}

TEST_F(ParallelPackTest, FullDiskIsReportedTheSame) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Add("a.xml", Markup(600000, 7));
  Add("b.zip", Noise(600000, 8));
  Add("c.xml", "c");
  const Packed one = Pack(1, "/dev/full");
  ASSERT_EQ(one.results.size(), 3u);
  for (const auto& result : one.results) {
    EXPECT_EQ(result.result, zip::kZipWriteError);
    EXPECT_EQ(result.systemError,
              platform::ErrorText(std::make_error_code(std::errc::no_space_on_device)));
  }
  EXPECT_EQ(one.closed, zip::kZipWriteError);
  for (const unsigned threads : kThreadCounts) {
    const Packed many = Pack(threads, "/dev/full");
    EXPECT_EQ(many.results, one.results) << threads;
    EXPECT_EQ(many.closed, one.closed) << threads;
  }
}

// The file may grow no further part-way through a large entry (a quota, a file size limit):
// that entry and the rest fail with the system's reason, and no worker is left waiting.
TEST_F(ParallelPackTest, WriteFailingPartWayIsReportedTheSame) {
  Add("small.xml", "small");
  Add("large.bin", Noise(3 * zip::DeflatePipeline::kMaxQueuedPerEntry, 9));
  Add("later.xml", "later");
  std::vector<Packed> packs;
  {
    const platform::testing::FileSizeLimit limit(zip::DeflatePipeline::kMaxQueuedPerEntry);
    if (!limit.Active()) GTEST_SKIP() << "no limit on file sizes here";
    packs.push_back(Pack(1, m_folder / "one.zip"));
    for (const unsigned threads : kThreadCounts)
      packs.push_back(Pack(threads, m_folder / "many.zip"));
  }

  const Packed& one = packs.front();
  ASSERT_EQ(one.results.size(), 3u);
  EXPECT_EQ(one.results[0].result, zip::kZipOk);
  EXPECT_EQ(one.results[1].result, zip::kZipWriteError);
  EXPECT_EQ(one.results[1].systemError,
            platform::ErrorText(std::make_error_code(std::errc::file_too_large)));
  EXPECT_EQ(one.results[2].result, zip::kZipWriteError);
  EXPECT_EQ(one.closed, zip::kZipWriteError);
  for (std::size_t i = 1; i < packs.size(); ++i) {
    EXPECT_EQ(packs[i].results, one.results) << i;
    EXPECT_EQ(packs[i].closed, one.closed) << i;
    EXPECT_EQ(packs[i].bytes.size(), one.bytes.size()) << i;
  }
}

// The folder packer leaves out the same files for the same reasons, in the same order, and
// writes the same package, whatever the thread count.
TEST(ParallelFolderPack, LeftOutFilesAreTheSameForEveryThreadCount) {
  TempFolder folder;
  const auto tree = folder / "pkg";
  zip_test::WriteFile(tree / "[Content_Types].xml", "<Types/>");
  zip_test::WriteFile(tree / "word" / "document.xml", Markup(700000, 10));
  zip_test::WriteFile(tree / "long" / std::string(255, 'n'), "x");
  zip_test::WriteFile(tree / "long" / std::string(254, 'm'), "a name of 259 bytes fits");
  zip_test::WriteFile(tree / "word" / "media" / "image1.jpeg", Noise(500000, 11));
  std::string why;
  if (!platform::testing::CreateFifo(tree / "word" / "pipe.xml", &why)) GTEST_SKIP() << why;
  for (int i = 0; i < 50; ++i)
    zip_test::WriteFile(tree / "customXml" / ("item" + std::to_string(i) + ".xml"), "<i/>");

  zip::FolderPacker one(1);
  ASSERT_EQ(one.PackFolder(tree, folder / "one.zip"), zip::kZipOk);
  ASSERT_EQ(one.FailedAdds(), 2u);
  const Bytes expected = WithoutAccessTimes(zip_test::ReadFileBytes(folder / "one.zip"));
  EXPECT_EQ(Contents(expected).size(), 54u);
  for (const unsigned threads : kThreadCounts) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    zip::FolderPacker many(threads);
    ASSERT_EQ(many.PackFolder(tree, folder / "many.zip"), zip::kZipOk);
    ASSERT_EQ(many.FailedAdds(), one.FailedAdds());
    for (std::size_t i = 0; i < one.FailedAdds(); ++i) {
      EXPECT_EQ(many.Failures()[i].name, one.Failures()[i].name);
      EXPECT_EQ(many.Failures()[i].result, one.Failures()[i].result);
      EXPECT_EQ(many.Failures()[i].systemError, one.Failures()[i].systemError);
    }
    EXPECT_TRUE(WithoutAccessTimes(zip_test::ReadFileBytes(folder / "many.zip")) == expected);
  }
}

}  // namespace
