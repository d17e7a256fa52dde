// The platform layer: text conversions, the private temporary folder, temporary files, files
// that are no regular files, and the small services the programs ask of the system.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <string>
#include <thread>

#include "platform/environment.h"
#include "platform/file.h"
#include "platform/local_time.h"
#include "platform/process.h"
#include "platform/temp_folder.h"
#include "platform/test_helpers.h"
#include "platform/text.h"
#include "testkit/temp_folder.h"

namespace fs = std::filesystem;

namespace {

TEST(Text, Utf8AndWideRoundTripAndInvalidBytesAreReplaced) {
  const std::string text = "Z\xC3\xBCrich \xE2\x80\x94 caf\xC3\xA9 \xF0\x9F\x93\x84";
  EXPECT_EQ(platform::Utf8FromWide(platform::WideFromUtf8(text)), text);
  EXPECT_EQ(platform::WideFromUtf8("a\xFF"
                                   "b"),
            L"a\uFFFDb");
  EXPECT_EQ(platform::WideFromUtf8("\xC3"), L"\uFFFD") << "a sequence cut short";
  EXPECT_EQ(platform::WideFromUtf8("\xC0\xAF"), L"\uFFFD") << "an overlong form";
}

TEST(Text, EveryNameByteRoundTripsAsOneCharacter) {
  std::string bytes;
  for (int b = 0; b < 256; ++b)
    bytes += static_cast<char>(b);
  const std::wstring wide = platform::WideFromBytes(bytes);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(wide[0xE9], L'\u00E9');
  EXPECT_EQ(platform::BytesFromWide(wide), bytes);
  EXPECT_EQ(platform::BytesFromWide(L"\u20AC"), std::nullopt) << "no one-byte form";
  // Through the file system's encoding and back, as extraction and saving do.
  EXPECT_EQ(platform::WideFromPath(platform::PathFromWide(wide.substr(1))), wide.substr(1));
}

TEST(Text, FileNamePartIsEverythingAfterTheLastSeparator) {
  EXPECT_EQ(platform::FileNamePart("/a/b/Report.dotm"), "Report.dotm");
  EXPECT_EQ(platform::FileNamePart("Report.dotm"), "Report.dotm");
  EXPECT_EQ(platform::FileNamePart("/a/b/"), "");
  EXPECT_TRUE(platform::EndsWithSeparator("/a/b/"));
  EXPECT_FALSE(platform::EndsWithSeparator("/a/b"));
#ifdef _WIN32
  EXPECT_EQ(platform::FileNamePart("C:\\a\\Report.dotm"), "Report.dotm");
  EXPECT_TRUE(platform::EndsWithSeparator("C:\\a\\"));
#endif
}

TEST(Services, EnvironmentValuesAreSetReadAndRemoved) {
  const std::string name = "BRENVIK_PLATFORM_TEST";
  platform::SetEnvironmentValue(name, "caf\xC3\xA9");
  EXPECT_EQ(platform::EnvironmentValue(name), "caf\xC3\xA9");
  platform::UnsetEnvironmentValue(name);
  EXPECT_EQ(platform::EnvironmentValue(name), std::nullopt);
}

TEST(Services, ProcessIdAndTerminalAndLocalTime) {
  EXPECT_GT(platform::ProcessId(), 0);
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(platform::IsTerminal(file)) << "a file is no terminal";
  std::fclose(file);
  std::tm fields{};
  ASSERT_TRUE(platform::LocalTime(86400 * 365, fields));
  EXPECT_TRUE(fields.tm_year == 70 || fields.tm_year == 71) << fields.tm_year;
}

class PrivateFolder : public ::testing::Test {
 protected:
  static unsigned Mode(const fs::path& path) {
    return static_cast<unsigned>(fs::symlink_status(path).permissions() & fs::perms::mask);
  }
  static bool HasPosixModes() { return platform::testing::HasPosixFileSystem(); }

  // The system temporary folder is a folder of each test's own while it runs.
  testkit::TempFolder folder_{"platform-test-"};
  testkit::TempFolderOverride tempVariable_{folder_.Path()};
  const fs::path& root_ = folder_.Path();
};

TEST_F(PrivateFolder, IsCreatedOwnerOnlyAndTightened) {
  const auto folder = platform::PrivateTempFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(fs::canonical(folder->parent_path()), fs::canonical(root_));
  if (!HasPosixModes()) GTEST_SKIP() << "Windows keeps no owner-only mode bits";
  EXPECT_EQ(Mode(*folder), 0700u);
  fs::permissions(*folder, fs::perms::all);
  ASSERT_TRUE(platform::PrivateTempFolder().has_value());
  EXPECT_EQ(Mode(*folder), 0700u) << "a loosened folder of ours is tightened again";
}

TEST_F(PrivateFolder, PlantedLinkFileOrForeignFolderIsRefused) {
  const fs::path name = root_ / platform::PrivateTempFolderName();
  { std::ofstream(name) << "x"; }
  std::string why;
  EXPECT_FALSE(platform::PrivateTempFolder(&why).has_value()) << "a file in the folder's place";
  EXPECT_NE(why.find(platform::Utf8FromPath(name)), std::string::npos) << why;
  fs::remove(name);

  if (!HasPosixModes()) GTEST_SKIP() << "symbolic links and other users' folders need POSIX";
  fs::create_directories(root_ / "elsewhere");
  fs::create_directory_symlink(root_ / "elsewhere", name);
  EXPECT_FALSE(platform::PrivateTempFolder(&why).has_value());
  EXPECT_NE(why.find("link"), std::string::npos) << why;

  fs::remove(name);
  if (!platform::testing::IsSuperUser()) GTEST_SKIP() << "only root can give a folder away";
  fs::create_directory(name);
  ASSERT_TRUE(platform::testing::GiveToAnotherUser(name));
  EXPECT_FALSE(platform::PrivateTempFolder(&why).has_value());
  EXPECT_NE(why.find("another user"), std::string::npos) << why;
}

TEST_F(PrivateFolder, TemporaryFilesAreNewOwnerOnlyAndUnique) {
  std::set<fs::path> names;
  for (int i = 0; i < 20; ++i) {
    auto temp = platform::CreateTempFile(root_, "OPC");
    ASSERT_TRUE(temp.has_value());
    const std::string name = temp->path.filename().string();
    EXPECT_EQ(name.rfind("OPC", 0), 0u);
    EXPECT_EQ(temp->path.extension(), ".tmp");
    if (HasPosixModes()) {
      EXPECT_EQ(Mode(temp->path), 0600u);
    }
    EXPECT_TRUE(names.insert(temp->path).second);
  }
  EXPECT_FALSE(platform::CreateTempFile(root_ / "missing", "OPC").has_value());
}

// A private temporary file that becomes the user's file takes 0666 less the umask, which stays
// as it was.
TEST_F(PrivateFolder, UsualPermissionsFollowTheUmask) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "no POSIX modes here";
  for (const unsigned mask : {022u, 077u, 0u}) {
    auto temp = platform::CreateTempFile(root_, "P");
    ASSERT_TRUE(temp.has_value());
    const unsigned previous = platform::testing::SetUmask(mask);
    EXPECT_TRUE(temp->file.GiveUsualPermissions());
    EXPECT_EQ(platform::testing::SetUmask(previous), mask);
    EXPECT_EQ(Mode(temp->path), 0666u & ~mask) << mask;
  }
  platform::File closed;
  EXPECT_FALSE(closed.GiveUsualPermissions());
}

// An empty folder would put the file in whatever the current directory happens to be.
TEST_F(PrivateFolder, TemporaryFileNeedsAFolder) {
  const fs::path here = root_ / "current";
  fs::create_directories(here);
  const fs::path before = fs::current_path();
  fs::current_path(here);
  const bool created = platform::CreateTempFile(fs::path(), "OPC").has_value();
  fs::current_path(before);
  EXPECT_FALSE(created);
  EXPECT_TRUE(fs::is_empty(here));
}

TEST_F(PrivateFolder, FilesReadWriteAndRefuseFolders) {
  platform::File file;
  ASSERT_TRUE(file.Open(root_ / "f.bin", platform::File::Mode::kCreateTruncate));
  const std::string data = "0123456789";
  ASSERT_TRUE(file.Write(std::as_bytes(std::span(data))));
  ASSERT_TRUE(file.Seek(4));
  std::array<std::byte, 100> buffer{};
  EXPECT_EQ(file.Read(buffer), 6) << "a read stops at the end of the file";
  EXPECT_EQ(file.Size(), 10);
  EXPECT_TRUE(file.Close());
  EXPECT_FALSE(file.Open(root_, platform::File::Mode::kRead)) << "a folder is no package";
  EXPECT_FALSE(file.Open(root_ / "missing", platform::File::Mode::kRead));
  EXPECT_FALSE(platform::LastErrorText().empty());
}

TEST_F(PrivateFolder, StatusGivesKindSizeAndWritability) {
  const fs::path path = root_ / "s.bin";
  { std::ofstream(path) << "12345"; }
  platform::File file;
  ASSERT_TRUE(file.Open(path, platform::File::Mode::kRead));
  const auto status = file.Status();
  ASSERT_TRUE(status.has_value());
  EXPECT_FALSE(status->isDirectory);
  EXPECT_TRUE(status->ownerCanWrite);
  EXPECT_EQ(status->size, 5u);
  const auto now = std::time(nullptr);
  EXPECT_LE(std::abs(static_cast<long long>(status->modifyTime - now)), 600)
      << "seconds since 1970";
}

TEST_F(PrivateFolder, NameWithCharactersFromSeveralScriptsOpens) {
  const fs::path path = root_ / platform::PathFromUtf8(
                                    "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 "
                                    "\xE5\xA0\xB1\xE5\x91\x8A \xF0\x9F\x93\x84.dotm");
  platform::File file;
  ASSERT_TRUE(file.Open(path, platform::File::Mode::kCreateNew)) << platform::LastErrorText();
  EXPECT_TRUE(file.Close());
  EXPECT_TRUE(fs::is_regular_file(path));
  EXPECT_TRUE(file.Open(path, platform::File::Mode::kRead));
}

// Opening a FIFO for reading waits for a writer unless asked not to; the open runs on another
// thread so that a regression fails here instead of hanging the suite.
TEST_F(PrivateFolder, FifoIsRefusedAtOnceAsNotARegularFile) {
  const fs::path fifo = root_ / "pipe.dotm";
  std::string why;
  if (!platform::testing::CreateFifo(fifo, &why)) GTEST_SKIP() << why;
  for (const auto mode : {platform::File::Mode::kRead, platform::File::Mode::kCreateTruncate}) {
    // A detached thread: a blocked open must not keep the test from ending.
    auto result = std::make_shared<std::promise<std::pair<bool, std::string>>>();
    auto opening = result->get_future();
    std::thread([fifo, mode, result] {
      platform::File file;
      const bool opened = file.Open(fifo, mode);
      result->set_value({opened, platform::LastErrorText()});
    }).detach();
    ASSERT_EQ(opening.wait_for(std::chrono::seconds(10)), std::future_status::ready)
        << "opening a FIFO blocked";
    const auto [opened, reason] = opening.get();
    EXPECT_FALSE(opened);
    EXPECT_EQ(reason, "not a regular file");
  }
  EXPECT_TRUE(fs::is_fifo(fifo)) << "the FIFO is left as it was";
}

}  // namespace
