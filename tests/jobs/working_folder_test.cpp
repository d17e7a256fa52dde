#include "engine/working_folder.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/temp_folder.h"
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

// The file name followed by the index stays the folder's name wherever that cannot be read two
// ways; a name ending in a digit (or in the separator) gets "_" before the index, so that
// "x1" in row 1 and "x" in row 11 no longer share "x11".
TEST_F(WorkingFolderTest, EveryRowsFileFolderIsItsOwn) {
  const fs::path working = Root() / "DtmTmp";
  const struct {
    const char* text;
    int index;
    const char* folder;
  } cases[] = {
      {"/in/Report.dotm", 3, "Report.dotm3"},
      {"/in/x", 11, "x11"},
      {"/in/x1", 1, "x1_1"},
      {"/in/x_", 1, "x__1"},
      {"/in/x_1", 2, "x_1_2"},
      {"/in/", 10, "10"},
      {"/in/_", 0, "__0"},
      {"/in/7", 4, "7_4"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(engine::FileFolderFor(working, c.text, c.index), working / c.folder) << c.text;

  const char* names[] = {"", "x", "x1", "x11", "x_", "x_1", "x1_", "_", "1", "11", "a_b", "x__"};
  std::map<fs::path, std::string> seen;
  for (const char* name : names) {
    for (int index = 0; index < 120; ++index) {
      const std::string row = std::string(name) + " in row " + std::to_string(index);
      const auto [it, fresh] =
          seen.emplace(engine::FileFolderFor(working, std::string("/in/") + name, index), row);
      EXPECT_TRUE(fresh) << row << " shares " << it->first << " with " << it->second;
    }
  }
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

// Rows "x1" (row 1) and "x" (row 11); row 0 removed: each keeps its own folder on the way up.
TEST_F(WorkingFolderTest, RenumberingKeepsNamesEndingInDigitsApart) {
  const fs::path working = Root() / "DtmTmp";
  std::vector<std::string> rows;
  for (int row = 0; row < 12; ++row)
    rows.push_back("/in/r" + std::string(1, static_cast<char>('a' + row)) + ".dotm");
  rows[1] = "/in/x1";
  rows[11] = "/in/x";
  for (int row = 1; row < 12; ++row)
    WriteFile(engine::FileFolderFor(working, rows[static_cast<std::size_t>(row)], row) / "p.xml",
              rows[static_cast<std::size_t>(row)]);
  rows.erase(rows.begin());
  engine::RenumberFileFolders(working, rows, 0);
  for (int row = 0; row < 11; ++row) {
    const std::string& text = rows[static_cast<std::size_t>(row)];
    EXPECT_EQ(ReadText(engine::FileFolderFor(working, text, row) / "p.xml"), text);
  }
}

}  // namespace
}  // namespace jobstest
