// The strict reading of a saved package: each fault of a package built byte by byte is named.
#include <gtest/gtest.h>

#include "engine/package_self_check.h"
#include "testkit/package_builder.h"
#include "testkit/temp_folder.h"

namespace {

using testsupport::Bytes;
using testsupport::PackageBuilder;

constexpr const char* kTypes =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
    "Extension=\"xml\" ContentType=\"application/xml\"/><Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/></Types>";
constexpr const char* kRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"t\" Target=\"word/document.xml\"/></Relationships>";

TEST(SelfCheck, EachFaultIsNamed) {
  struct Case {
    const char* label;
    const char* types;
    const char* rels;
    const char* document;
    bool badCrc;
    const char* reason;  // nullptr: passes
  };
  const Case kCases[] = {
      {"sound package", kTypes, kRels, "<w:document/>", false, nullptr},
      {"CRC mismatch", kTypes, kRels, "<w:document/>", true, "CRC mismatch for word/document.xml"},
      {"XML that does not parse", kTypes, kRels, "<w:document>", false,
       "word/document.xml does not parse"},
      {"relationship to a missing part", kTypes,
       "<Relationships xmlns=\"x\"><Relationship Id=\"a\" Type=\"t\" Target=\"gone.xml\"/>"
       "</Relationships>",
       "<w:document/>", false, "_rels/.rels points at missing gone.xml"},
      {"part without a type",
       "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>", kRels,
       "<w:document/>", false, "no content type for _rels/.rels"},
  };
  testkit::TempFolder folder{"engine-test-"};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    PackageBuilder builder;
    builder.AddDeflated("[Content_Types].xml", c.types).AddDeflated("_rels/.rels", c.rels);
    builder.AddDeflated("word/document.xml", c.document);
    Bytes bytes = builder.Build();
    if (c.badCrc) {
      const std::size_t local = builder.HeaderOffsets()[2];
      bytes[local + 14] ^= 0xFF;                                // the local header's CRC...
      for (std::size_t at = 0; at + 4 <= bytes.size(); ++at) {  // ...and the directory's
        if (bytes[at] == 'P' && bytes[at + 1] == 'K' && bytes[at + 2] == 1 && bytes[at + 3] == 2 &&
            bytes[at + 42] == static_cast<std::uint8_t>(local)) {
          bytes[at + 16] ^= 0xFF;
        }
      }
    }
    const auto path = folder.Path() / "saved.dotm";
    testsupport::WriteFileBytes(path, bytes);
    const auto result = engine::CheckSavedPackage(path);
    if (c.reason == nullptr) {
      EXPECT_TRUE(result.passed) << result.reason;
    } else {
      EXPECT_FALSE(result.passed);
      EXPECT_EQ(result.reason, c.reason);
    }
  }
}

// Past the first fault the reading goes on: every part that fails is named, the first first.
TEST(SelfCheck, EveryFaultOfASoundStructureIsListed) {
  testkit::TempFolder folder{"engine-test-"};
  PackageBuilder builder;
  builder.AddDeflated("[Content_Types].xml", kTypes)
      .AddDeflated("_rels/.rels",
                   "<Relationships xmlns=\"x\"><Relationship Id=\"a\" Type=\"t\" "
                   "Target=\"gone.xml\"/><Relationship Id=\"b\" Type=\"t\" "
                   "Target=\"word/document.xml\"/></Relationships>")
      .AddDeflated("word/document.xml", "<w:document>")
      .AddDeflated("word/picture.png", "png");
  const auto path = folder.Path() / "saved.dotm";
  testsupport::WriteFileBytes(path, builder.Build());
  const auto result = engine::CheckSavedPackage(path);
  EXPECT_FALSE(result.passed);
  EXPECT_EQ(result.reason, "_rels/.rels points at missing gone.xml");
  EXPECT_EQ(result.failures, (std::vector<std::string>{"_rels/.rels points at missing gone.xml",
                                                       "word/document.xml does not parse",
                                                       "no content type for word/picture.png"}));

  // A fault of the structure ends the reading: it is the only one.
  Bytes bytes = builder.Build();
  bytes.resize(bytes.size() - 30);
  testsupport::WriteFileBytes(path, bytes);
  const auto broken = engine::CheckSavedPackage(path);
  EXPECT_FALSE(broken.passed);
  EXPECT_EQ(broken.failures, std::vector<std::string>{broken.reason});
}

}  // namespace
