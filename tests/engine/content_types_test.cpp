// The stored [Content_Types].xml is the exact document the program carries; it is the base for
// content types that are missing or broken, and a valid document of the package's own stays.
#include "engine/content_types.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>

#include "engine/content_types_builder.h"
#include "platform/test_helpers.h"
#include "testkit/package_builder.h"
#include "testkit/temp_folder.h"

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

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr const char* kTypesOpen =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";

std::string Default(const char* extension, const char* type) {
  return std::string("<Default Extension=\"") + extension + "\" ContentType=\"" + type + "\"/>";
}
std::string Override(const char* part, const char* type) {
  return std::string("<Override PartName=\"") + part + "\" ContentType=\"" + type + "\"/>";
}

constexpr const char* kMain = "application/vnd.ms-word.template.macroEnabledTemplate.main+xml";
constexpr const char* kStyles =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml";
constexpr const char* kVba = "application/vnd.ms-office.vbaProject";

// A word processor's own small document: every part typed, macro project included.
std::string SmallOwnDocument() {
  return std::string(kDeclaration) + kTypesOpen +
         Default("rels", "application/vnd.openxmlformats-package.relationships+xml") +
         Default("xml", "application/xml") + Default("png", "image/png") + Default("bin", kVba) +
         Override("/word/document.xml", kMain) + Override("/word/styles.xml", kStyles) +
         Override("/word/vbaProject.bin", kVba) + "</Types>";
}

class RestoreTest : public ::testing::Test {
 protected:
  fs::path Target() const { return folder_.Path() / "[Content_Types].xml"; }
  void AddPart(const std::string& name, const std::string& content) {
    fs::create_directories((folder_.Path() / name).parent_path());
    testsupport::WriteFileBytes(folder_.Path() / name, testsupport::ToBytes(content));
  }
  std::string Result() const {
    const auto bytes = testsupport::ReadFileBytes(Target());
    return std::string(bytes.begin(), bytes.end());
  }
  testkit::TempFolder folder_{"engine-test-"};
};

// A valid document of the package's own stays byte for byte, however small; one that lacks
// types or does not parse is completed on the stored copy's entries.
TEST_F(RestoreTest, OwnDocumentIsKeptWhenItTypesEveryPartAndCompletedOtherwise) {
  struct Case {
    const char* label;
    std::optional<std::string> existing;
    bool withMacros;  // the tree holds word/vbaProject.bin and an image
    engine::ContentTypesOutcome outcome;
  };
  const std::string own = SmallOwnDocument();
  ASSERT_LT(own.size(), engine::kStoredContentTypesSize);
  const std::string withoutMacroTypes =
      std::string(kDeclaration) + kTypesOpen + Default("xml", "application/xml") +
      Default("rels", "application/vnd.openxmlformats-package.relationships+xml") +
      Override("/word/document.xml", "application/vnd.ms-word.document.macroEnabled.main+xml") +
      Override("/word/styles.xml", kStyles) + "</Types>";
  const Case kCases[] = {
      {"small own document kept", own, true, engine::ContentTypesOutcome::kKept},
      {"own document lacking the macro and image types", withoutMacroTypes, true,
       engine::ContentTypesOutcome::kCompleted},
      {"own document cut short", own.substr(0, own.size() / 2), true,
       engine::ContentTypesOutcome::kCompleted},
      {"noise", std::string(2000, 'c'), true, engine::ContentTypesOutcome::kCompleted},
      {"missing, stored copy types every part", std::nullopt, false,
       engine::ContentTypesOutcome::kStoredCopy},
      {"missing, macros and an image", std::nullopt, true, engine::ContentTypesOutcome::kBuilt},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(folder_.Path() / "word");
    fs::remove(Target());
    AddPart("word/document.xml", "<w:document xmlns:w=\"urn:w\"/>");
    AddPart("word/styles.xml", "<w:styles xmlns:w=\"urn:w\"/>");
    if (c.withMacros) {
      AddPart("word/vbaProject.bin", "macro project");
      AddPart("word/media/image1.png", "png");
    }
    if (c.existing) AddPart("[Content_Types].xml", *c.existing);
    EXPECT_EQ(engine::EnsureContentTypes(folder_.Path()), c.outcome);
    const std::string result = Result();
    if (c.outcome == engine::ContentTypesOutcome::kKept) {
      EXPECT_EQ(result, *c.existing);
    }
    if (c.outcome == engine::ContentTypesOutcome::kStoredCopy) {
      EXPECT_EQ(result, StoredText());
    }
    const auto map = engine::ParseContentTypes(result);
    ASSERT_TRUE(map.has_value());
    if (c.withMacros) {
      EXPECT_EQ(map->TypeOf("word/vbaProject.bin"), kVba);
      EXPECT_EQ(map->TypeOf("word/media/image1.png"), "image/png");
    }
    EXPECT_EQ(map->TypeOf("word/styles.xml"), kStyles);
    // The package's own type for its main document wins over ours.
    if (c.existing == withoutMacroTypes) {
      EXPECT_EQ(map->TypeOf("word/document.xml"),
                "application/vnd.ms-word.document.macroEnabled.main+xml");
    } else {
      EXPECT_EQ(map->TypeOf("word/document.xml"), kMain);
    }
  }
}

// Each part whose type follows from its name or root element gets that type.
TEST(ContentTypesBuilder, NameAndRootElementGiveTheType) {
  struct Case {
    const char* part;
    const char* root;
    const char* type;
  };
  const Case kCases[] = {
      {"word/header2.xml", "",
       "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml"},
      {"word/footer1.xml", "",
       "application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml"},
      {"word/firstHeader.xml", "hdr",
       "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml"},
      {"word/theme/theme1.xml", "", "application/vnd.openxmlformats-officedocument.theme+xml"},
      {"word/numbering.xml", "",
       "application/vnd.openxmlformats-officedocument.wordprocessingml.numbering+xml"},
      {"word/footnotes.xml", "",
       "application/vnd.openxmlformats-officedocument.wordprocessingml.footnotes+xml"},
      {"word/comments.xml", "",
       "application/vnd.openxmlformats-officedocument.wordprocessingml.comments+xml"},
      {"docProps/custom.xml", "",
       "application/vnd.openxmlformats-officedocument.custom-properties+xml"},
      {"customXml/itemProps1.xml", "",
       "application/vnd.openxmlformats-officedocument.customXmlProperties+xml"},
      {"word/vbaData.xml", "", "application/vnd.ms-word.vbaData+xml"},
      {"word/vbaProject.bin", "", "application/vnd.ms-office.vbaProject"},
      {"customXml/item1.xml", "", "application/xml"},
      {"word/media/image3.jpeg", "", "image/jpeg"},
      {"word/embeddings/blob.dat", "", "application/octet-stream"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.part);
    engine::ContentTypeMap map;
    const std::set<std::string> parts{c.part};
    engine::CompleteContentTypes(map, parts,
                                 [&](const std::string&) { return std::string(c.root); });
    EXPECT_EQ(map.TypeOf(c.part), c.type);
    EXPECT_TRUE(engine::ParseContentTypes(engine::WriteContentTypes(map)).has_value());
  }
}

// The macro project typed by the Default of its extension, as a word processor writes it, is
// covered: such content types are kept byte for byte.
TEST(ContentTypesBuilder, MacroProjectTypedByItsDefaultIsCovered) {
  const auto map = engine::ParseContentTypes(
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"bin\" ContentType=\"application/vnd.ms-office.vbaProject\"/></Types>");
  ASSERT_TRUE(map.has_value());
  EXPECT_TRUE(engine::ContentTypesCover(*map, "word/vbaProject.bin", ""));
  engine::ContentTypeMap copy = *map;
  EXPECT_EQ(engine::CompleteContentTypes(copy, {"word/vbaProject.bin"},
                                         [](const std::string&) { return std::string(); }),
            0);
}

// A part name XML cannot hold (control characters, broken UTF-8) is left untyped: the
// document written for the other parts still parses and types them.
TEST(ContentTypesBuilder, NameXmlCannotHoldLeavesTheOthersReadable) {
  for (const std::string& bad :
       {std::string("word/PK\x03\x04"), std::string("word/\xff\xfe.dat")}) {
    SCOPED_TRACE(bad);
    engine::ContentTypeMap map;
    const std::set<std::string> parts{bad, "word/document.xml"};
    engine::CompleteContentTypes(map, parts, [](const std::string&) { return std::string(); });
    const auto written = engine::ParseContentTypes(engine::WriteContentTypes(map));
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(written->Covers("word/document.xml"));
    EXPECT_FALSE(written->Covers(bad));
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
