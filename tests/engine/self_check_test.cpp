// The strict reading of a saved package: each fault of a package built byte by byte is named.
#include <gtest/gtest.h>

#include "engine/package_self_check.h"
#include "testkit/package_builder.h"
#include "testkit/temp_folder.h"

namespace {

using testsupport::Bytes;
using testsupport::EntrySpec;
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

// The package is read in pieces: parts far larger than a piece are judged as a whole, and a
// fault after the first pieces of a part is still found.
TEST(SelfCheck, LargePartsAreJudgedWhole) {
  const Bytes xml = testsupport::XmlLikeBytes(300000, 3);
  const Bytes deflated = testsupport::RawDeflate(xml);
  Bytes trailing = deflated;
  trailing.insert(trailing.end(), {0x01, 0x02, 0x03, 0x04});
  const Bytes cut(deflated.begin(), deflated.begin() + static_cast<long>(deflated.size() * 3 / 4));
  Bytes unclosed(xml.begin(), xml.end() - 12);
  struct Case {
    const char* label;
    EntrySpec part;
    const char* reason;  // nullptr: passes
  };
  const Case kCases[] = {
      {"deflated", {.name = "word/big.xml", .content = xml}, nullptr},
      {"stored", {.name = "word/big.xml", .content = xml, .method = 0}, nullptr},
      {"XML cut near its end",
       {.name = "word/big.xml", .content = unclosed},
       "word/big.xml does not parse"},
      {"stored XML cut near its end",
       {.name = "word/big.xml", .content = unclosed, .method = 0},
       "word/big.xml does not parse"},
      {"bytes after the deflate stream",
       {.name = "word/big.xml", .content = xml, .data = trailing},
       "data does not inflate for word/big.xml"},
      {"deflate stream cut",
       {.name = "word/big.xml", .content = xml, .data = cut},
       "data does not inflate for word/big.xml"},
  };
  testkit::TempFolder folder{"engine-test-"};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    PackageBuilder builder;
    builder.AddDeflated("[Content_Types].xml", kTypes).AddDeflated("_rels/.rels", kRels);
    builder.AddDeflated("word/document.xml", "<w:document/>").Add(c.part);
    const auto path = folder.Path() / "saved.dotm";
    testsupport::WriteFileBytes(path, builder.Build());
    const auto result = engine::CheckSavedPackage(path);
    if (c.reason == nullptr) {
      EXPECT_TRUE(result.passed) << result.reason;
    } else {
      EXPECT_FALSE(result.passed);
      EXPECT_EQ(result.reason, c.reason);
    }
  }
}

// A package cut before its end record, or one that is not there, is never passed.
TEST(SelfCheck, MissingOrCutPackageFails) {
  testkit::TempFolder folder{"engine-test-"};
  EXPECT_EQ(engine::CheckSavedPackage(folder.Path() / "absent.dotm").reason, "cannot be read back");
  PackageBuilder builder;
  builder.AddDeflated("[Content_Types].xml", kTypes).AddDeflated("_rels/.rels", kRels);
  builder.AddDeflated("word/document.xml", "<w:document/>");
  Bytes bytes = builder.Build();
  bytes.resize(bytes.size() - 10);
  const auto path = folder.Path() / "cut.dotm";
  testsupport::WriteFileBytes(path, bytes);
  EXPECT_EQ(engine::CheckSavedPackage(path).reason, "no end record");
}

}  // namespace
