#include "engine/media_lookup.h"

#include <gtest/gtest.h>

#include "engine/job_view.h"
#include "platform/test_helpers.h"
#include "tests/jobs/job_test_fixture.h"

namespace jobstest {
namespace {

TEST(ImageFileNameTest, KnownExtensionsInAnyCase) {
  const struct {
    const char* name;
    bool image;
  } cases[] = {
      {"image1.png", true}, {"IMAGE1.PNG", true}, {"a.Jpeg", true}, {"a.jpg", true},
      {"a.bmp", true},      {"a.gif", true},      {"a.emf", true},  {"thumbnail.wmf", false},
      {"png", false},       {"a.png.xml", false}, {"a.", false},    {".png", true},
      {"a.tar.GIF", true},  {"a.pngx", false},    {"", false},      {"a.jp", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(engine::IsImageFileName(c.name), c.image) << c.name;
}

class MediaLookupTest : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    working_ = Root() / "DtmTmp";
    folder_ = engine::FileFolderFor(working_, "/in/Report.dotm", 0);
    fs::create_directories(folder_);
    media_ = Root() / "media";
    fs::create_directories(media_);
  }

  fs::path working_, folder_, media_;
};

// Which picture the preview shows, or which hint it shows instead.
TEST_F(MediaLookupTest, PreviewChoice) {
  const auto check = [this](const char* row, std::initializer_list<const char*> files,
                            const char* shown, int mode) {
    SCOPED_TRACE(row);
    const fs::path folder = engine::FileFolderFor(working_, row, 0);
    for (const char* file : files)
      WriteFile(folder / file, Bytes{1, 2, 3});
    const auto choice = engine::LookupPreview(working_, row, 0);
    EXPECT_EQ(choice.path, *shown ? (folder / shown).make_preferred().string() : "");
    EXPECT_EQ(choice.mode, mode);
    EXPECT_EQ(choice.result, *shown ? 1 : 0);
    EXPECT_TRUE(choice.show);
  };
  check("/in/Thumbnail.dotm", {"a/first.png", "Thumbnails/thumbnail.png"},
        "Thumbnails/thumbnail.png", engine::kPreviewImage);
  check("/in/AnyCase.dotm", {"word/document.xml", "word/media/IMAGE1.PNG"}, "word/media/IMAGE1.PNG",
        engine::kPreviewImage);
  check("/in/NoImage.dotm", {"docProps/thumbnail.wmf"}, "", engine::kPreviewNoImage);
  check("/in/NeverRepaired.dotm", {}, "", engine::kPreviewNoImage);

  auto choice = engine::LookupPreview(Root() / "NoWorkingFolder", "/in/Report.dotm", 0);
  EXPECT_EQ(choice.mode, engine::kPreviewNotRepaired);
  EXPECT_EQ(choice.result, 0);
  choice = engine::LookupPreview(working_, "/in/Report.dotm", -1);  // no row
  EXPECT_FALSE(choice.show);
  EXPECT_EQ(choice.result, 1);
}

TEST_F(MediaLookupTest, LinksAreNeverFollowed) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "links need privileges on Windows";
  const fs::path outside = Root() / "outside";
  WriteFile(outside / "secret.png", Bytes{9});
  fs::create_directory_symlink(outside, folder_ / "linked");
  fs::create_symlink(outside / "secret.png", folder_ / "direct.png");
  EXPECT_TRUE(engine::FindFirstImage(folder_).empty());
  EXPECT_EQ(engine::CopyMediaFiles(folder_, media_), (engine::MediaCount{.found = 0, .copied = 0}));
  EXPECT_TRUE(fs::is_empty(media_));
}

TEST_F(MediaLookupTest, SameNamedImagesCollapseIntoOne) {
  for (const char* file : {"word/media/image1.png", "word/embeddings/image1.png",
                           "docProps/thumbnail.emf", "word/document.xml"})
    WriteFile(folder_ / file, Bytes{1, 2, 3});
  EXPECT_EQ(engine::CopyMediaFiles(folder_, media_), (engine::MediaCount{.found = 3, .copied = 3}));
  EXPECT_EQ(EntryNames(media_), (std::vector<std::string>{"image1.png", "thumbnail.emf"}));
  // Into a missing folder nothing is copied, and the images found say what was missed.
  EXPECT_EQ(engine::CopyMediaFiles(folder_, Root() / "no" / "such"),
            (engine::MediaCount{.found = 3, .copied = 0}));
}

}  // namespace
}  // namespace jobstest
