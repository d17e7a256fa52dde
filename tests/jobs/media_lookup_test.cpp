#include "engine/media_lookup.h"

#include <gtest/gtest.h>

#include "engine/job_view.h"
#include "engine/working_folder.h"
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
  }
  void Put(const fs::path& relative) {
    fs::create_directories((folder_ / relative).parent_path());
    testsupport::WriteFileBytes(folder_ / relative, {1, 2, 3});
  }

  fs::path working_, folder_;
};

TEST_F(MediaLookupTest, ThumbnailWinsOverOtherImages) {
  Put("a/first.png");
  Put("Thumbnails/thumbnail.png");
  const auto choice = engine::LookupPreview(working_, "/in/Report.dotm", 0);
  EXPECT_EQ(choice.path, (folder_ / "Thumbnails" / "thumbnail.png").string());
  EXPECT_EQ(choice.mode, engine::kPreviewImage);
  EXPECT_EQ(choice.result, 1);
  EXPECT_TRUE(choice.show);
}

TEST_F(MediaLookupTest, FirstImageIsFoundWhateverItsCase) {
  Put("word/document.xml");
  Put("word/media/IMAGE1.PNG");
  const auto choice = engine::LookupPreview(working_, "/in/Report.dotm", 0);
  EXPECT_EQ(choice.path, (folder_ / "word" / "media" / "IMAGE1.PNG").string());
  EXPECT_EQ(choice.mode, engine::kPreviewImage);
  EXPECT_EQ(choice.result, 1);
}

TEST_F(MediaLookupTest, HintsWhenThereIsNothingToShow) {
  Put("docProps/thumbnail.wmf");
  auto choice = engine::LookupPreview(working_, "/in/Report.dotm", 0);
  EXPECT_EQ(choice.mode, engine::kPreviewNoImage);
  EXPECT_EQ(choice.result, 0);
  EXPECT_TRUE(choice.path.empty());

  choice = engine::LookupPreview(working_, "/in/Never.dotm", 1);  // never repaired
  EXPECT_EQ(choice.mode, engine::kPreviewNoImage);

  choice = engine::LookupPreview(Root() / "NoWorkingFolder", "/in/Report.dotm", 0);
  EXPECT_EQ(choice.mode, engine::kPreviewNotRepaired);
  EXPECT_EQ(choice.result, 0);

  choice = engine::LookupPreview(working_, "/in/Report.dotm", -1);
  EXPECT_FALSE(choice.show);
  EXPECT_EQ(choice.result, 1);
}

TEST_F(MediaLookupTest, LinksAreNeverFollowed) {
  const fs::path outside = Root() / "outside";
  fs::create_directories(outside);
  testsupport::WriteFileBytes(outside / "secret.png", {9});
  fs::create_directory_symlink(outside, folder_ / "linked");
  fs::create_symlink(outside / "secret.png", folder_ / "direct.png");
  EXPECT_TRUE(engine::FindFirstImage(folder_).empty());

  const fs::path media = Root() / "media";
  fs::create_directories(media);
  EXPECT_EQ(engine::CopyMediaFiles(folder_, media), 0);
  EXPECT_TRUE(fs::is_empty(media));
}

TEST_F(MediaLookupTest, SameNamedImagesCollapseIntoOne) {
  Put("word/media/image1.png");
  Put("word/embeddings/image1.png");
  Put("docProps/thumbnail.emf");
  Put("word/document.xml");
  const fs::path media = Root() / "media";
  fs::create_directories(media);
  EXPECT_EQ(engine::CopyMediaFiles(folder_, media), 3);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(media)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"image1.png", "thumbnail.emf"}));
}

TEST_F(MediaLookupTest, CopyIntoMissingFolderCopiesNothing) {
  Put("word/media/image1.png");
  EXPECT_EQ(engine::CopyMediaFiles(folder_, Root() / "no" / "such"), 0);
}

}  // namespace
}  // namespace jobstest
