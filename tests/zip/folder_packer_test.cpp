#include "zip/folder_packer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <string>

#include "tests/zip/test_files.h"
#include "tests/support/zip_parse.h"

namespace {

using zip_test::TestFolder;

std::map<std::string, std::string> PackedFiles(const std::filesystem::path& archive) {
  std::string error;
  const auto parsed = zip_test::ParseArchive(zip_test::ReadFile(archive), &error);
  EXPECT_TRUE(parsed.has_value()) << error;
  std::map<std::string, std::string> files;
  if (!parsed) return files;
  for (const auto& entry : parsed->entries) {
    EXPECT_TRUE(files.emplace(entry.name, entry.content).second) << "twice: " << entry.name;
  }
  return files;
}

const std::map<std::string, std::string> kTree = {
    {"[Content_Types].xml", "<Types/>"},
    {"word/document.xml", std::string(3000, 'd')},
    {"word/_rels/document.xml.rels", "<Relationships/>"},
    {"word/media/image1.png", "\x89PNG not really"},
    {"docProps/thumb.zip", "stored"},
    {".hidden", "hidden files are parts too"},
};

void MakeTree(const std::filesystem::path& root) {
  for (const auto& [name, content] : kTree)
    zip_test::WriteFile(root / name, content);
  std::filesystem::create_directories(root / "empty" / "deeper");
}

TEST(FolderPacker, NestedTreeIsPackedUnderRelativeNames) {
  TestFolder folder;
  MakeTree(folder / "pkg");
  zip::FolderPacker packer;
  for (const std::string& root : {(folder / "pkg").string(), (folder / "pkg").string() + "/"}) {
    SCOPED_TRACE(root);
    ASSERT_EQ(packer.PackFolder(root, folder / "out.zip"), zip::kZipOk);
    EXPECT_EQ(packer.FailedAdds(), 0u);
    EXPECT_EQ(PackedFiles(folder / "out.zip"), kTree) << "no folder entries, names relative";
  }
}

TEST(FolderPacker, EmptyFolderGivesAnEmptyArchive) {
  TestFolder folder;
  std::filesystem::create_directories(folder / "pkg" / "sub");
  zip::FolderPacker packer;
  EXPECT_EQ(packer.PackFolder(folder / "pkg", folder / "out.zip"), zip::kZipOk);
  EXPECT_EQ(std::filesystem::file_size(folder / "out.zip"), 22u);
  EXPECT_EQ(packer.PackFolder(folder / "missing", folder / "out2.zip"), zip::kZipOk);
  EXPECT_EQ(std::filesystem::file_size(folder / "out2.zip"), 22u);
}

TEST(FolderPacker, ArchiveInAMissingFolderIsRefused) {
  TestFolder folder;
  MakeTree(folder / "pkg");
  zip::FolderPacker packer;
  EXPECT_EQ(packer.PackFolder(folder / "pkg", folder / "nowhere" / "out.zip"),
            zip::kZipBadArgument);
  EXPECT_FALSE(std::filesystem::exists(folder / "nowhere"));
}

TEST(FolderPacker, UnreadableFileIsLeftOut) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TestFolder folder;
  MakeTree(folder / "pkg");
  std::filesystem::permissions(folder / "pkg" / "word" / "document.xml",
                               std::filesystem::perms::none);
  zip::FolderPacker packer;
  EXPECT_EQ(packer.PackFolder(folder / "pkg", folder / "out.zip"), zip::kZipOk);
  EXPECT_EQ(packer.FailedAdds(), 1u);
  auto expected = kTree;
  expected.erase("word/document.xml");
  EXPECT_EQ(PackedFiles(folder / "out.zip"), expected);
}

TEST(FolderPacker, LinksAndUnfitNamesAreLeftOut) {
  TestFolder folder;
  MakeTree(folder / "pkg");
  zip_test::WriteFile(folder / "outside" / "secret.txt", "not part of the package");
  std::filesystem::create_symlink(folder / "outside" / "secret.txt", folder / "pkg" / "link.xml");
  std::filesystem::create_directory_symlink(folder / "outside", folder / "pkg" / "linked");
  // A name of 260 narrow bytes does not fit the stored-name field.
  zip_test::WriteFile(folder / "pkg" / "long" / std::string(255, 'n'), "x");
  zip::FolderPacker packer;
  EXPECT_EQ(packer.PackFolder(folder / "pkg", folder / "out.zip"), zip::kZipOk);
  EXPECT_EQ(packer.FailedAdds(), 1u);
  EXPECT_EQ(PackedFiles(folder / "out.zip"), kTree);
}

TEST(FolderPacker, ArchiveInsideThePackedFolderIsNotPackedIntoItself) {
  TestFolder folder;
  MakeTree(folder.Path());
  zip::FolderPacker packer;
  EXPECT_EQ(packer.PackFolder(folder.Path(), folder / "out.zip"), zip::kZipOk);
  EXPECT_EQ(PackedFiles(folder / "out.zip"), kTree);
}

}  // namespace
