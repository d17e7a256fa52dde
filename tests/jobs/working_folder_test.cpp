#include "engine/working_folder.h"

#include <gtest/gtest.h>

#include "platform/test_helpers.h"
#include "tests/jobs/job_test_fixture.h"

namespace jobstest {
namespace {

using WorkingFolderTest = JobTest;

TEST_F(WorkingFolderTest, PrivateWorkingFolderAndFileFolderNames) {
  EXPECT_EQ(engine::GetWorkingFolder(), Root() / platform::PrivateTempFolderName() / "DtmTmp");
  const fs::path working = Root() / "DtmTmp";
  EXPECT_EQ(engine::FileFolderFor(working, "/home/u/docs/Report.dotm", 3),
            working / "Report.dotm3");
  EXPECT_EQ(engine::FileFolderFor(working, "Report.dotm", 12), working / "Report.dotm12");
  EXPECT_EQ(engine::FileFolderFor(working, "/dir/", 0), working / "0");
}

TEST_F(WorkingFolderTest, DeleteFolderTreeEmptiesButKeepsTheFolder) {
  const fs::path top = Root() / "top";
  WriteFile(top / "a.xml", "x");
  WriteFile(top / "word" / "media" / "image1.png", "x");
  fs::create_directories(top / "empty" / "deeper");
  engine::DeleteFolderTree(top);
  EXPECT_TRUE(fs::is_directory(top));
  EXPECT_TRUE(fs::is_empty(top));

  engine::RemoveFolderTree(top);
  EXPECT_FALSE(fs::exists(top));
  engine::RemoveFolderTree(top);  // a missing folder is no error
}

TEST_F(WorkingFolderTest, LinksAreRemovedAsLinksAndTheirTargetsStay) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "links need privileges on Windows";
  const fs::path top = Root() / "top";
  const fs::path outside = Root() / "outside";
  WriteFile(outside / "keep.txt", "x");
  fs::create_directories(top);
  fs::create_directory_symlink(outside, top / "folder_link");
  fs::create_symlink(outside / "keep.txt", top / "file_link");
  engine::RemoveFolderTree(top);
  EXPECT_FALSE(fs::exists(top));
  EXPECT_TRUE(fs::is_regular_file(outside / "keep.txt"));

  // A link in place of the folder itself is not entered either.
  fs::create_directory_symlink(outside, Root() / "link_as_top");
  engine::DeleteFolderTree(Root() / "link_as_top");
  EXPECT_TRUE(fs::is_regular_file(outside / "keep.txt"));
}

TEST_F(WorkingFolderTest, RenumberingFollowsTheRowsUp) {
  const fs::path working = Root() / "DtmTmp";
  // Rows A, B, C repaired; B (row 1) removed, its folder already deleted.
  WriteFile(working / "A.dotm0" / "a.xml", "A");
  WriteFile(working / "C.dotm2" / "c.xml", "C");
  const std::vector<std::string> after{"/x/A.dotm", "/x/C.dotm"};
  engine::RenumberFileFolders(working, after, 1);
  EXPECT_EQ(ReadText(working / "A.dotm0" / "a.xml"), "A");
  EXPECT_EQ(ReadText(working / "C.dotm1" / "c.xml"), "C");
  EXPECT_FALSE(fs::exists(working / "C.dotm2"));
}

TEST_F(WorkingFolderTest, RenumberingSameNamesKeepsEachRowsOwnPackage) {
  const fs::path working = Root() / "DtmTmp";
  // Three rows named Report.dotm; row 0 removed. A leftover of the removed row's folder that
  // could not be deleted must not become row 0's folder.
  WriteFile(working / "Report.dotm0" / "leftover.xml", "removed row");
  WriteFile(working / "Report.dotm1" / "p.xml", "second");
  WriteFile(working / "Report.dotm3" / "p.xml", "fourth");  // row 2 was never repaired
  const std::vector<std::string> after{"/b/Report.dotm", "/c/Report.dotm", "/d/Report.dotm"};
  engine::RenumberFileFolders(working, after, 0);
  EXPECT_EQ(ReadText(working / "Report.dotm0" / "p.xml"), "second");
  EXPECT_FALSE(fs::exists(working / "Report.dotm0" / "leftover.xml"));
  EXPECT_FALSE(fs::exists(working / "Report.dotm1"));
  EXPECT_EQ(ReadText(working / "Report.dotm2" / "p.xml"), "fourth");
  EXPECT_FALSE(fs::exists(working / "Report.dotm3"));
}

}  // namespace
}  // namespace jobstest
