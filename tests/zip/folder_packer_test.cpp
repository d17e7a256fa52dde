#include "zip/folder_packer.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/test_helpers.h"
#include "tests/zip/test_files.h"

namespace {

using testkit::TempFolder;

std::map<std::string, std::string> PackedFiles(const std::filesystem::path& archive) {
  std::string error;
  const auto parsed = zip_test::ParseArchive(zip_test::ReadFileBytes(archive), &error);
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

class FolderPackerTest : public ::testing::Test {
 protected:
  std::filesystem::path Pkg() const { return m_folder / "pkg"; }
  std::filesystem::path Out() const { return m_folder / "out.zip"; }

  TempFolder m_folder;
  zip::FolderPacker m_packer;
};

TEST_F(FolderPackerTest, NestedTreeIsPackedUnderRelativeNames) {
  MakeTree(Pkg());
  // With and without a trailing separator, and with the archive inside the packed folder
  // (it is not packed into itself).
  for (const auto& [root, archive] :
       {std::pair{Pkg().string(), Out()}, std::pair{Pkg().string() + "/", Out()},
        std::pair{Pkg().string(), Pkg() / "out.zip"}}) {
    SCOPED_TRACE(archive.string() + " from " + root);
    ASSERT_EQ(m_packer.PackFolder(root, archive), zip::kZipOk);
    EXPECT_EQ(m_packer.FailedAdds(), 0u);
    EXPECT_EQ(PackedFiles(archive), kTree) << "no folder entries, names relative";
  }
}

TEST_F(FolderPackerTest, EmptyOrMissingFolderGivesAnEmptyArchive) {
  std::filesystem::create_directories(Pkg() / "sub");
  for (const char* name : {"pkg", "missing"}) {
    EXPECT_EQ(m_packer.PackFolder(m_folder / name, m_folder / name += ".zip"), zip::kZipOk);
    EXPECT_EQ(std::filesystem::file_size(m_folder / name += ".zip"), 22u) << name;
  }
}

TEST_F(FolderPackerTest, ArchiveInAMissingFolderIsRefused) {
  MakeTree(Pkg());
  EXPECT_EQ(m_packer.PackFolder(Pkg(), m_folder / "nowhere" / "out.zip"), zip::kZipBadArgument);
  EXPECT_FALSE(std::filesystem::exists(m_folder / "nowhere"));
}

TEST_F(FolderPackerTest, UnreadableFileIsLeftOut) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "no unreadable modes on Windows";
  if (platform::testing::IsSuperUser()) GTEST_SKIP() << "root reads every file";
  MakeTree(Pkg());
  std::filesystem::permissions(Pkg() / "word" / "document.xml", std::filesystem::perms::none);
  EXPECT_EQ(m_packer.PackFolder(Pkg(), Out()), zip::kZipOk);
  EXPECT_EQ(m_packer.FailedAdds(), 1u);
  auto expected = kTree;
  expected.erase("word/document.xml");
  EXPECT_EQ(PackedFiles(Out()), expected);
}

TEST_F(FolderPackerTest, LinksAndUnfitNamesAreLeftOut) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "links need privileges on Windows";
  MakeTree(Pkg());
  zip_test::WriteFile(m_folder / "outside" / "secret.txt", "not part of the package");
  std::filesystem::create_symlink(m_folder / "outside" / "secret.txt", Pkg() / "link.xml");
  std::filesystem::create_directory_symlink(m_folder / "outside", Pkg() / "linked");
  // A name of 260 narrow bytes does not fit the stored-name field.
  zip_test::WriteFile(Pkg() / "long" / std::string(255, 'n'), "x");
  EXPECT_EQ(m_packer.PackFolder(Pkg(), Out()), zip::kZipOk);
  ASSERT_EQ(m_packer.FailedAdds(), 1u);
  EXPECT_EQ(m_packer.Failures()[0].name, L"long/" + std::wstring(255, L'n'));
  EXPECT_EQ(m_packer.Failures()[0].result, zip::kZipBadArgument) << "a refused name";
  EXPECT_EQ(PackedFiles(Out()), kTree);
}

}  // namespace
