// The stored [Content_Types].xml is the exact document the program carries, and it replaces a
// missing or too small extracted one only.
#include "engine/content_types.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/test_helpers.h"
#include "tests/engine/scratch_folder.h"
#include "tests/support/package_builder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;

std::string StoredText() {
  const auto bytes = engine::StoredContentTypes();
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// The resource file byte for byte: the declaration, CR LF, then the Types element on one line.
TEST(StoredContentTypes, IsTheExactDocument) {
  const std::string text = StoredText();
  ASSERT_EQ(text.size(), 1294u);
  EXPECT_EQ(Bytes(text.begin(), text.end()), testsupport::ReadFileBytes(STORED_CONTENT_TYPES_FILE));
  const std::string declaration =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
  ASSERT_EQ(text.rfind(declaration, 0), 0u);
  const std::string body = text.substr(declaration.size());
  EXPECT_EQ(body.find_first_of("\r\n"), std::string::npos);  // one line, no newline at the end
  EXPECT_EQ(
      body.rfind("<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">",
                 0),
      0u);
  EXPECT_TRUE(body.ends_with("</Types>"));
  const char* const kElements[] = {
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>",
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>",
      "<Override PartName=\"/word/document.xml\" "
      "ContentType=\"application/vnd.ms-word.template.macroEnabledTemplate.main+xml\"/>",
      "<Override PartName=\"/word/styles.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>",
      "<Override PartName=\"/docProps/app.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>",
      "<Override PartName=\"/word/settings.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml\"/"
      ">",
      "<Override PartName=\"/word/theme/theme1.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/>",
      "<Override PartName=\"/word/fontTable.xml\" "
      "ContentType=\"application/"
      "vnd.openxmlformats-officedocument.wordprocessingml.fontTable+xml\"/>",
      "<Override PartName=\"/word/webSettings.xml\" "
      "ContentType=\"application/"
      "vnd.openxmlformats-officedocument.wordprocessingml.webSettings+xml\"/>",
      "<Override PartName=\"/docProps/core.xml\" "
      "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>",
  };
  std::string expectedElements;
  for (const char* element : kElements)
    expectedElements += element;
  const std::size_t open = body.find('>') + 1;
  EXPECT_EQ(body.substr(open, body.size() - open - std::string("</Types>").size()),
            expectedElements);
}

class RestoreTest : public ::testing::Test {
 protected:
  fs::path Target() const { return folder_.Path() / "[Content_Types].xml"; }
  enginetest::ScratchFolder folder_;
};

TEST_F(RestoreTest, SizeDecidesWhetherTheExtractedFileStays) {
  struct Case {
    const char* label;
    std::optional<std::size_t> existingSize;
    bool kept;
  };
  const Case kCases[] = {{"2000 bytes kept", 2000, true},
                         {"1294 bytes kept", 1294, true},
                         {"1293 bytes replaced", 1293, false},
                         {"empty replaced", 0, false},
                         {"missing added", std::nullopt, false}};
  const std::string stored = StoredText();
  for (const auto& c : kCases) {
    for (const std::string suffix : {"", "/"}) {  // with or without a trailing separator
      SCOPED_TRACE(c.label + suffix);
      fs::remove(Target());
      Bytes existing;
      if (c.existingSize) {
        existing = testsupport::NoiseBytes(*c.existingSize, 4);
        testsupport::WriteFileBytes(Target(), existing);
      }
      const fs::path given = folder_.Path().string() + suffix;
      fs::path folder = given;
      EXPECT_EQ(engine::RestoreContentTypes(folder), 1);
      EXPECT_EQ(folder, given);
      EXPECT_EQ(testsupport::ReadFileBytes(Target()),
                c.kept ? existing : Bytes(stored.begin(), stored.end()));
    }
  }
}

TEST_F(RestoreTest, FailedWriteReturnsZeroAndEmptiesTheFolder) {
  fs::path folder = folder_.Path() / "missing";
  EXPECT_EQ(engine::RestoreContentTypes(folder), 0);
  EXPECT_TRUE(folder.empty());
}

TEST_F(RestoreTest, ALinkInThePlaceOfTheFileIsReplacedNotFollowed) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "links need privileges on Windows";
  const fs::path elsewhere = folder_.Path() / "elsewhere.xml";
  testsupport::WriteFileBytes(elsewhere, testsupport::ToBytes("small"));
  fs::create_symlink(elsewhere, Target());
  fs::path folder = folder_.Path();
  EXPECT_EQ(engine::RestoreContentTypes(folder), 1);
  EXPECT_FALSE(fs::is_symlink(Target()));
  EXPECT_EQ(fs::file_size(Target()), 1294u);
  EXPECT_EQ(testsupport::ReadFileBytes(elsewhere), testsupport::ToBytes("small"));
}

}  // namespace
