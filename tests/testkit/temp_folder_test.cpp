// The temporary folders every test, benchmark and fuzz target stands on: below the user's
// private folder, gone with everything in them, and TMPDIR put back as it was.
#include "testkit/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/temp_folder.h"
#include "platform/test_helpers.h"

namespace {

namespace fs = std::filesystem;

TEST(TempFolder, LivesInThePrivateFolderAndGoesWithEverythingInIt) {
  fs::path path;
  {
    const testkit::TempFolder folder("testkit-test-");
    path = folder.Path();
    EXPECT_EQ(path.parent_path(), testkit::PrivateBaseFolder());
    EXPECT_EQ(testkit::PrivateBaseFolder().filename(), platform::PrivateTempFolderName());
    fs::create_directories(folder / "locked" / "inner");
    std::ofstream(folder / "locked" / "inner" / "part.xml") << "<a/>";
    // A test may leave a folder nobody may enter or change; it goes all the same.
    fs::permissions(folder / "locked", fs::perms::none);
  }
  EXPECT_FALSE(fs::exists(path));
}

TEST(TempFolder, PrivateFolderIsTheOwnersAlone) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "Windows keeps no mode bits";
  EXPECT_EQ(fs::status(testkit::PrivateBaseFolder()).permissions() & fs::perms::mask,
            fs::perms::owner_all);
}

TEST(TempFolder, EachFolderIsNew) {
  const testkit::TempFolder first("testkit-test-");
  const testkit::TempFolder second("testkit-test-");
  EXPECT_NE(first.Path(), second.Path());
  EXPECT_TRUE(fs::is_empty(first.Path()));
  EXPECT_TRUE(fs::is_empty(second.Path()));
}

TEST(TempFolder, MissingParentIsAnError) {
  const testkit::TempFolder folder("testkit-test-");
  EXPECT_THROW(testkit::TempFolder("x-", folder / "missing"), std::runtime_error);
}

TEST(TempFolderOverride, PointsTheSystemTempFolderThereWhileItLives) {
  const fs::path before = platform::SystemTempFolder();
  const testkit::TempFolder folder("testkit-test-");
  {
    const testkit::TempFolderOverride override(folder.Path());
    EXPECT_EQ(fs::canonical(platform::SystemTempFolder()), fs::canonical(folder.Path()));
    // Later folders stay where the first one went.
    const testkit::TempFolder later("testkit-test-");
    EXPECT_EQ(later.Path().parent_path(), testkit::PrivateBaseFolder());
  }
  EXPECT_EQ(platform::SystemTempFolder(), before);
}

}  // namespace
