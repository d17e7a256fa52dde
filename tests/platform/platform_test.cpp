// The platform layer: text conversions, the private temporary folder and temporary files.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/file.h"
#include "platform/file_permissions.h"
#include "platform/temp_folder.h"
#include "platform/text.h"

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
}

class PrivateFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(::testing::TempDir()) / ("platform-test-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    ::setenv("TMPDIR", root_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("TMPDIR");
    fs::remove_all(root_);
  }
  static unsigned Mode(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 0777;
  }
  fs::path root_;
};

TEST_F(PrivateFolder, IsCreatedOwnerOnlyAndTightened) {
  const auto folder = platform::PrivateTempFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(folder->parent_path(), root_);
  EXPECT_EQ(Mode(*folder), 0700u);
  ::chmod(folder->c_str(), 0777);
  ASSERT_TRUE(platform::PrivateTempFolder().has_value());
  EXPECT_EQ(Mode(*folder), 0700u) << "a loosened folder of ours is tightened again";
}

TEST_F(PrivateFolder, PlantedLinkFileOrForeignFolderIsRefused) {
  const fs::path name = root_ / ("brenvik-dotm-repair-" + std::to_string(::getuid()));
  fs::create_directories(root_ / "elsewhere");
  fs::create_directory_symlink(root_ / "elsewhere", name);
  std::string why;
  EXPECT_FALSE(platform::PrivateTempFolder(&why).has_value());
  EXPECT_NE(why.find("link"), std::string::npos) << why;

  fs::remove(name);
  { std::ofstream(name) << "x"; }
  EXPECT_FALSE(platform::PrivateTempFolder().has_value()) << "a file in the folder's place";

  fs::remove(name);
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a folder to another user";
  fs::create_directory(name);
  ASSERT_EQ(::chown(name.c_str(), 65534, 65534), 0);
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
    EXPECT_EQ(Mode(temp->path), 0600u);
    EXPECT_TRUE(names.insert(temp->path).second);
  }
  EXPECT_FALSE(platform::CreateTempFile(root_ / "missing", "OPC").has_value());
}

// A private temporary file that becomes the user's file takes 0666 less the umask, which stays
// as it was.
TEST_F(PrivateFolder, UsualPermissionsFollowTheUmask) {
  for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{0}}) {
    auto temp = platform::CreateTempFile(root_, "P");
    ASSERT_TRUE(temp.has_value());
    const mode_t previous = ::umask(mask);
    EXPECT_TRUE(platform::GiveUsualPermissions(temp->file));
    EXPECT_EQ(::umask(previous), mask);
    EXPECT_EQ(Mode(temp->path), 0666u & ~mask) << mask;
  }
  platform::File closed;
  EXPECT_FALSE(platform::GiveUsualPermissions(closed));
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

}  // namespace
