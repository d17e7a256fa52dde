#include "zip/zip_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/test_helpers.h"
#include "tests/zip/test_files.h"
#include "zip/source_info.h"
#include "zip/zip_limits.h"

namespace {

using testkit::TempFolder;
using zip_test::Archive;
using zip_test::Get16;
using zip_test::Get32;

// Windows (and wine) move a file's last-read time when the writer opens it; POSIX systems
// mounted with relatime keep it while it is not older than the last write.
#ifdef _WIN32
constexpr bool kLastReadTimeKept = false;
#else
constexpr bool kLastReadTimeKept = true;
#endif

constexpr std::time_t k2021 = 1614834368;  // 2021-03-04 05:06:08 UTC

void SetTimes(const std::filesystem::path& path, std::time_t modified, std::time_t accessed) {
  ASSERT_TRUE(platform::testing::SetFileTimes(path, modified, accessed));
}

// What the writer records as the creation time: the status-change time on POSIX.
std::time_t CreateTime(const std::filesystem::path& path) {
  platform::File file;
  EXPECT_TRUE(file.Open(path, platform::File::Mode::kRead));
  const auto status = file.Status();
  return status ? status->createTime : 0;
}

class ZipWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Local times equal UTC, so that the expected DOS and Unix times are fixed numbers.
    platform::testing::UseUtcAsLocalTime();
    m_archive = m_folder / "out.zip";
  }

  // A source file with the given content, last written and read at 2021-03-04 05:06:08 UTC.
  std::filesystem::path Source(const std::string& name, std::string_view content) {
    const auto path = m_folder / "src" / name;
    zip_test::WriteFile(path, content);
    SetTimes(path, k2021, k2021);
    return path;
  }

  zip::ZipHandlePtr Create() {
    zip::ZipHandlePtr handle = zip::ZipWriterCreate(m_archive);
    EXPECT_NE(handle, nullptr);
    return handle;
  }

  // Writes an archive with one entry per (name, content) pair; every add must succeed.
  void WriteArchive(const std::vector<std::pair<std::wstring, std::string>>& entries) {
    zip::ZipHandlePtr handle = Create();
    int index = 0;
    for (const auto& [name, content] : entries) {
      const auto source = Source("f" + std::to_string(index++), content);
      ASSERT_EQ(zip::ZipWriterAddFile(handle.get(), name, source), zip::kZipOk);
    }
    ASSERT_EQ(zip::ZipWriterClose(std::move(handle)), zip::kZipOk);
  }

  Archive Parse() {
    std::string error;
    auto archive = zip_test::ParseArchive(zip_test::ReadFileBytes(m_archive), &error);
    EXPECT_TRUE(archive.has_value()) << error;
    return archive.value_or(Archive{});
  }

  TempFolder m_folder;
  std::filesystem::path m_archive;
};

TEST_F(ZipWriterTest, EmptyArchiveIsOnlyTheEndRecord) {
  EXPECT_EQ(zip::ZipWriterClose(Create()), zip::kZipOk);
  std::vector<std::uint8_t> expected(22, 0);
  expected[0] = 'P', expected[1] = 'K', expected[2] = 5, expected[3] = 6;
  EXPECT_EQ(zip_test::ReadFileBytes(m_archive), expected);
}

// Stored and deflated entries, zero-byte ones and a large incompressible one (it stays
// deflated), field by field.
TEST_F(ZipWriterTest, EntriesFieldByField) {
  const std::string xml(5000, 'x');
  std::mt19937 random(11);
  std::string noise(300000, '\0');
  for (char& c : noise)
    c = static_cast<char>(random());
  WriteArchive({{L"inner.zip", "stored bytes"},
                {L"word\\document.xml", xml},
                {L"empty.zip", ""},
                {L"empty.xml", ""},
                {L"noise.bin", noise}});
  const auto bytes = zip_test::ReadFileBytes(m_archive);
  const Archive archive = Parse();
  ASSERT_EQ(archive.entries.size(), 5u);
  EXPECT_EQ(archive.entriesOnDisk, 5);
  EXPECT_EQ(archive.entriesTotal, 5);
  EXPECT_EQ(Get32(bytes, archive.directoryOffset), 0x02014B50u);

  const auto src = m_folder / "src";
  struct Expected {
    const char* name;
    std::uint16_t method, flags;
    std::string content;
    std::filesystem::path source;
  };
  const Expected expected[] = {{"inner.zip", 0, 0x0000, "stored bytes", src / "f0"},
                               {"word/document.xml", 8, 0x0002, xml, src / "f1"},
                               {"empty.zip", 0, 0x0000, "", src / "f2"},
                               {"empty.xml", 8, 0x0002, "", src / "f3"},
                               {"noise.bin", 8, 0x0002, noise, src / "f4"}};
  std::uint32_t nextOffset = 0;
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const auto& e = archive.entries[i];
    const auto& want = expected[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(e.versionMadeBy, 0x0B17);
    EXPECT_EQ(e.versionNeeded, 20);
    EXPECT_EQ(e.flags, want.flags);
    EXPECT_EQ(e.method, want.method);
    EXPECT_EQ(e.dosDateTime, 0x526428C4u);  // 2021-03-04 05:06:08
    EXPECT_EQ(e.crc, crc32(0, reinterpret_cast<const Bytef*>(want.content.data()),
                           static_cast<uInt>(want.content.size())));
    EXPECT_EQ(e.uncompressedSize, want.content.size());
    EXPECT_EQ(e.compressedSize, e.data.size());
    EXPECT_EQ(e.content, want.content);
    EXPECT_EQ(e.name, want.name);
    EXPECT_EQ(e.commentLength, 0);
    EXPECT_EQ(e.diskStart, 0);
    EXPECT_EQ(e.internalAttributes, 0);
    EXPECT_EQ(e.externalAttributes, 0x81800020u);
    EXPECT_EQ(e.localHeaderOffset, nextOffset);
    EXPECT_EQ(Get32(bytes, e.localHeaderOffset), 0x04034B50u);
    nextOffset += 30 + static_cast<std::uint32_t>(e.name.size()) + 17 + e.compressedSize;

    // The local header after its rewrite repeats the final values.
    EXPECT_EQ(e.local.versionNeeded, 20);
    EXPECT_EQ(e.local.flags, want.flags);
    EXPECT_EQ(e.local.method, want.method);
    EXPECT_EQ(e.local.dosDateTime, e.dosDateTime);
    EXPECT_EQ(e.local.crc, e.crc);
    EXPECT_EQ(e.local.compressedSize, e.compressedSize);
    EXPECT_EQ(e.local.uncompressedSize, e.uncompressedSize);
    EXPECT_EQ(e.local.name, e.name);

    const auto ctime = zip::ClampedUnixTime(CreateTime(want.source));
    ASSERT_EQ(e.local.extra.size(), 17u);
    EXPECT_EQ(Get16(e.local.extra, 0), 0x5455);
    EXPECT_EQ(Get16(e.local.extra, 2), 13);
    EXPECT_EQ(e.local.extra[4], 0x07);
    EXPECT_EQ(Get32(e.local.extra, 5), static_cast<std::uint32_t>(k2021));
    if (kLastReadTimeKept) {
      EXPECT_EQ(Get32(e.local.extra, 9), static_cast<std::uint32_t>(k2021));
    }
    EXPECT_EQ(Get32(e.local.extra, 13), ctime);
    ASSERT_EQ(e.extra.size(), 9u);
    EXPECT_EQ(Get16(e.extra, 0), 0x5455);
    EXPECT_EQ(Get16(e.extra, 2), 5);
    EXPECT_EQ(e.extra[4], 0x07);
    EXPECT_EQ(Get32(e.extra, 5), static_cast<std::uint32_t>(k2021));
  }
  EXPECT_EQ(archive.directoryOffset, nextOffset);
  EXPECT_EQ(archive.entries[3].data, (std::vector<std::uint8_t>{0x03, 0x00}));
}

// Names keep one byte per character with '\\' turned into '/'; the method follows the last
// suffix.
TEST_F(ZipWriterTest, NamesAreStoredByteForByteAndTheLastSuffixPicksTheMethod) {
  const std::wstring longest(259, L'n'), high = L"caf\u00e9\\na\u00efve.xml";
  const std::pair<std::wstring, std::uint16_t> names[] = {
      {L"a.ZIP", 0},  {L"b.Gz", 0},  {L"x.tar.gz", 0},  {L".arj", 0},   {L"c.Z", 0},
      {L"d.zoo", 0},  {L"e.arc", 0}, {L"f.LZH", 0},     {L"g.tgz", 0},  {L"h.zipx", 8},
      {L"no_dot", 8}, {L"i.z", 0},   {L"j.zip.xml", 8}, {L"k.gz/l", 8}, {L"m.", 8},
      {L"a", 8},      {longest, 8},  {high, 8}};
  std::vector<std::pair<std::wstring, std::string>> entries;
  for (const auto& [name, method] : names)
    entries.emplace_back(name, "content");
  WriteArchive(entries);
  const auto bytes = zip_test::ReadFileBytes(m_archive);
  const Archive archive = Parse();
  ASSERT_EQ(archive.entries.size(), std::size(names));
  for (std::size_t i = 0; i < std::size(names); ++i) {
    const auto& e = archive.entries[i];
    std::string expected;
    for (const wchar_t c : names[i].first)
      expected += c == L'\\' ? '/' : static_cast<char>(c);
    EXPECT_EQ(e.name, expected);
    EXPECT_EQ(e.local.name, expected);
    EXPECT_EQ(e.method, names[i].second) << e.name;
    EXPECT_EQ(e.flags, names[i].second == 8 ? 0x0002 : 0x0000) << e.name;
  }
  EXPECT_EQ(Get16(bytes, archive.entries[16].localHeaderOffset + 26), 259);
  EXPECT_EQ(archive.entries[17].name, "caf\xe9/na\xefve.xml");
}

// Unfit names and missing sources are refused before anything is written; the next add works.
TEST_F(ZipWriterTest, RefusedAddsWriteNothingAndTheWriterGoesOn) {
  const auto source = Source("s", "data");
  zip::ZipHandlePtr handle = Create();
  const std::wstring refused[] = {L"",
                                  std::wstring(260, L'n'),
                                  std::wstring(517, L'n'),
                                  std::wstring(600, L'n'),
                                  L"euro\u20ac.xml",
                                  std::wstring(L"nul\0inside", 10)};
  for (const auto& name : refused) {
    EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), name, source), zip::kZipBadArgument)
        << name.size();
  }
  EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), L"gone.xml", m_folder / "gone"),
            zip::kZipFileError);
  EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), L"dir.xml", m_folder.Path()), zip::kZipFileError);
  EXPECT_EQ(std::filesystem::file_size(m_archive), 0u) << "nothing written for refused adds";
  EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), L"ok.xml", source), zip::kZipOk);
  EXPECT_EQ(zip::ZipWriterClose(std::move(handle)), zip::kZipOk);
  const Archive archive = Parse();
  ASSERT_EQ(archive.entries.size(), 1u);
  EXPECT_EQ(archive.entries[0].localHeaderOffset, 0u);
  EXPECT_EQ(archive.entries[0].content, "data");
}

// Times outside the DOS and Unix formats are clamped; a read-only source is marked so.
TEST_F(ZipWriterTest, ClampedTimesAndReadOnlyAttributes) {
  constexpr std::time_t k1969 = -14182940;   // 1969-07-20 20:17:40 UTC
  constexpr std::time_t k2040 = 2219900889;  // 2040-05-06 07:08:09 UTC
  const auto old = Source("old", "t"), later = Source("new", "t"), readOnly = Source("ro", "r");
  SetTimes(old, k1969, k1969);
  SetTimes(later, k2040, k2040);
  std::filesystem::permissions(
      readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  zip::ZipHandlePtr handle = Create();
  for (const auto& source : {old, later, readOnly})
    ASSERT_EQ(zip::ZipWriterAddFile(handle.get(), source.filename().wstring(), source),
              zip::kZipOk);
  ASSERT_EQ(zip::ZipWriterClose(std::move(handle)), zip::kZipOk);
  const Archive archive = Parse();
  ASSERT_EQ(archive.entries.size(), 3u);
  const auto& first = archive.entries[0];
  EXPECT_EQ(Get32(first.extra, 5), 73060u);  // 1970-01-01 20:17:40
  if (kLastReadTimeKept) {
    EXPECT_EQ(Get32(first.local.extra, 9), 73060u);
  }
  EXPECT_EQ(first.dosDateTime, 0x00210000u) << "before 1980: 1980-01-01 00:00";
  const auto& second = archive.entries[1];
  EXPECT_EQ(Get32(second.extra, 5), 2145856089u);  // 2037-12-31 07:08:09
  if (kLastReadTimeKept) {
    EXPECT_EQ(Get32(second.local.extra, 9), 2145856089u);
  }
  EXPECT_EQ(second.dosDateTime >> 16, (60u << 9) | (5u << 5) | 6u) << "2040-05-06";
  EXPECT_EQ(archive.entries[2].externalAttributes, 0x81000021u);
  EXPECT_EQ(zip::ExternalAttributes(true, true), 0x41800010u);
}

TEST_F(ZipWriterTest, SizesBeyondTheFormatAreRefused) {
  zip::ZipHandlePtr handle = Create();
  ASSERT_TRUE(zip::SetZipLimitsForTesting(handle.get(), {.maxEntries = 2, .maxSize = 10}));
  const auto small = Source("small", "0123456789");
  EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), L"big.xml", Source("big", "0123456789A")),
            zip::kZipTooLarge);
  EXPECT_EQ(std::filesystem::file_size(m_archive), 0u) << "refused before anything is written";
  EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), L"1.zip", small), zip::kZipOk);
  EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), L"2.zip", small), zip::kZipOk);
  EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), L"3.zip", small), zip::kZipTooLarge);
  EXPECT_EQ(zip::ZipWriterClose(std::move(handle)), zip::kZipOk);
  EXPECT_EQ(Parse().entries.size(), 2u);
}

TEST_F(ZipWriterTest, OffsetsBeyondTheFormatAreRefused) {
  zip::ZipHandlePtr handle = Create();
  ASSERT_TRUE(zip::SetZipLimitsForTesting(handle.get(), {.maxOffset = 100}));
  EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), L"a.zip", Source("a", std::string(80, 'a'))),
            zip::kZipOk);
  const auto written = std::filesystem::file_size(m_archive);
  EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), L"b.zip", Source("b", "b")), zip::kZipTooLarge);
  EXPECT_EQ(std::filesystem::file_size(m_archive), written);
  EXPECT_EQ(zip::ZipWriterClose(std::move(handle)), zip::kZipTooLarge)
      << "the central directory would start beyond the limit";
}

TEST_F(ZipWriterTest, ShortWritesAreReported) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  zip::ZipHandlePtr handle = zip::ZipWriterCreate("/dev/full");
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), L"a.xml", Source("a", "data")),
            zip::kZipWriteError);
  EXPECT_EQ(zip::ZipWriterClose(std::move(handle)), zip::kZipWriteError);
}

TEST(ZipWriterHandles, MissingOrForeignHandlesAreRefused) {
  EXPECT_EQ(zip::ZipWriterAddFile(nullptr, L"a", "a"), zip::kZipBadArgument);
  EXPECT_EQ(zip::ZipWriterClose(nullptr), zip::kZipBadArgument);
  TempFolder folder;
  zip::ZipHandlePtr handle = zip::ZipWriterCreate(folder / "x.zip");
  ASSERT_NE(handle, nullptr);
  handle->kind = 3;
  EXPECT_EQ(zip::ZipWriterAddFile(handle.get(), L"a", folder / "x.zip"), zip::kZipWrongHandle);
  EXPECT_EQ(zip::ZipWriterClose(std::move(handle)), zip::kZipWrongHandle);
  std::uint32_t result = 0;
  EXPECT_EQ(zip::ZipWriterCreate(folder / "no" / "x.zip", &result), nullptr);
  EXPECT_EQ(result, zip::kZipFileError);
}

// The writer takes over a file that is already open (a temporary file created exclusively) and
// writes only through it: a name swapped for a link after the file was made never redirects
// the archive.
TEST_F(ZipWriterTest, OpenFileIsWrittenThroughAndNeverReopenedByName) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "links need a privilege here";
  const auto temporary = m_folder / "package.tmp";
  platform::File output;
  ASSERT_TRUE(output.Open(temporary, platform::File::Mode::kCreateNew));
  const auto moved = m_folder / "moved.tmp";
  std::filesystem::rename(temporary, moved);
  zip_test::WriteFile(m_folder / "victim", "not the program's");
  std::filesystem::create_symlink(m_folder / "victim", temporary);

  std::uint32_t result = 1;
  zip::ZipHandlePtr handle = zip::ZipWriterCreate(std::move(output), &result);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(result, zip::kZipOk);
  ASSERT_EQ(zip::ZipWriterAddFile(handle.get(), L"word/document.xml", Source("d", "<w/>")),
            zip::kZipOk);
  ASSERT_EQ(zip::ZipWriterClose(std::move(handle)), zip::kZipOk);

  EXPECT_EQ(zip_test::ReadFileBytes(m_folder / "victim"),
            testsupport::ToBytes("not the program's"));
  m_archive = moved;
  const Archive archive = Parse();
  ASSERT_EQ(archive.entries.size(), 1u);
  EXPECT_EQ(archive.entries[0].name, "word/document.xml");
  EXPECT_EQ(archive.entries[0].content, "<w/>");
}

// A closed file, or one that already holds bytes, cannot take an archive that starts at 0.
TEST_F(ZipWriterTest, OpenFileMustBeOpenAndEmpty) {
  std::uint32_t result = 0;
  EXPECT_EQ(zip::ZipWriterCreate(platform::File(), &result), nullptr);
  EXPECT_EQ(result, zip::kZipBadArgument);

  platform::File used;
  ASSERT_TRUE(used.Open(m_archive, platform::File::Mode::kCreateNew));
  const std::string old = "old";
  ASSERT_TRUE(used.Write(std::as_bytes(std::span(old))));
  result = 0;
  EXPECT_EQ(zip::ZipWriterCreate(std::move(used), &result), nullptr);
  EXPECT_EQ(result, zip::kZipBadArgument);
  EXPECT_EQ(zip_test::ReadFileBytes(m_archive), testsupport::ToBytes("old"));
}

// Independent readers accept what the writer makes.
TEST_F(ZipWriterTest, ExternalReadersAcceptTheArchive) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "unzip and python3 run on Linux";
  const bool unzip = std::filesystem::exists("/usr/bin/unzip");
  const bool python = std::system("python3 -c 'import zipfile' >/dev/null 2>&1") == 0;
  if (!unzip && !python) GTEST_SKIP() << "neither unzip nor python3 is available";
  std::string xml;
  for (int i = 0; i < 20000; ++i)
    xml += "<w:p>" + std::to_string(i) + "</w:p>";
  WriteArchive({{L"[Content_Types].xml", "<Types/>"},
                {L"word\\document.xml", xml},
                {L"word/media/image1.zip", "not really zipped"},
                {L"empty.xml", ""}});
  const std::string quoted = " '" + m_archive.string() + "'";
  if (unzip) {
    EXPECT_EQ(std::system(("/usr/bin/unzip -tqq" + quoted + " >/dev/null 2>&1").c_str()), 0);
  }
  if (python) {
    const std::string command =
        "python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
        "assert z.testzip() is None; assert len(z.namelist()) == 4; "
        "assert z.read('word/media/image1.zip') == b'not really zipped'\"" +
        quoted;
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
}

}  // namespace
