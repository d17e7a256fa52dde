// The pass over an unpacked package tree: cut XML closed, relationships mended, checked on the
// real packages of tests/data with parts removed, cut or broken.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "engine/content_types_builder.h"
#include "engine/package_tree.h"
#include "engine/package_tree_repair.h"
#include "engine/relationships_repair.h"
#include "engine/xml_repair.h"
#include "testkit/package_builder.h"
#include "testkit/temp_folder.h"
#include "testkit/zip_parse.h"

namespace {

namespace fs = std::filesystem;

// Cut XML: what is left of each cut text once mended.
TEST(RepairCutXml, CutsAtTheLastCompleteMarkupAndClosesTheOpenElements) {
  struct Case {
    const char* label;
    const char* text;
    const char* repaired;  // nullptr: nothing could be saved
  };
  const Case kCases[] = {
      {"whole document unchanged", "<a><b/></a>", "<a><b/></a>"},
      {"cut inside a start tag", "<a><b>text</b><c x=\"1", "<a><b>text</b></a>"},
      {"cut inside text", "<a><b>some te", "<a><b>some te</b></a>"},
      {"cut after an empty element", "<a><b/>", "<a><b/></a>"},
      {"cut inside an end tag", "<a><b>t</b", "<a><b>t</b></a>"},
      {"prefixes kept", "<w:d xmlns:w=\"u\"><w:p><w:r>x</w:r></w:p><w:p>",
       "<w:d xmlns:w=\"u\"><w:p><w:r>x</w:r></w:p><w:p></w:p></w:d>"},
      {"cut inside a CDATA section", "<a><b>x</b><![CDATA[half", "<a><b>x</b></a>"},
      {"cut inside an entity reference", "<a>x &am", "<a>x </a>"},
      {"zeroed bytes after the damage", "<a><b>t</b>\0\0\0<c/></a>", "<a><b>t</b></a>"},
      {"junk after the root", "<a/>\xff\xfe junk", "<a/>"},
      {"declaration only", "<?xml version=\"1.0\"?>\r\n", nullptr},
      {"cut inside the root's start tag", "<?xml version=\"1.0\"?><w:document xmlns", nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    // The zeroed case holds NUL bytes: take the whole literal.
    const std::string text = std::string(c.label) == "zeroed bytes after the damage"
                                 ? std::string("<a><b>t</b>\0\0\0<c/></a>", 22)
                                 : std::string(c.text);
    const auto repaired = engine::RepairCutXml(text);
    if (c.repaired == nullptr) {
      EXPECT_FALSE(repaired.has_value());
      continue;
    }
    ASSERT_TRUE(repaired.has_value());
    EXPECT_EQ(*repaired, c.repaired);
    EXPECT_TRUE(engine::XmlParses(*repaired));
  }
}

TEST(ResolveTarget, RelativeAbsoluteEscapedAndOutside) {
  struct Case {
    const char* rels;
    const char* target;
    const char* part;  // nullptr: outside the package
  };
  const Case kCases[] = {
      {"word/_rels/document.xml.rels", "media/image1.png", "word/media/image1.png"},
      {"word/_rels/document.xml.rels", "../customXml/item1.xml", "customXml/item1.xml"},
      {"word/_rels/document.xml.rels", "/word/styles.xml", "word/styles.xml"},
      {"_rels/.rels", "word/document.xml", "word/document.xml"},
      {"word/_rels/document.xml.rels", "media/my%20image.png", "word/media/my image.png"},
      {"word/_rels/document.xml.rels", "../../outside.xml", nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.target);
    const auto part = engine::ResolveTarget(c.rels, c.target);
    if (c.part == nullptr) {
      EXPECT_FALSE(part.has_value());
    } else {
      EXPECT_EQ(part, c.part);
    }
  }
}

// A real package unpacked into a scratch folder, as extraction leaves it.
class TreeRepairTest : public ::testing::Test {
 protected:
  void Unpack(const char* sample) {
    const auto bytes = testsupport::ReadFileBytes(fs::path(TEST_DATA_DIR) / sample);
    std::string error;
    const auto archive = zip_test::ParseArchive(bytes, &error);
    ASSERT_TRUE(archive.has_value()) << error;
    for (const auto& entry : archive->entries) {
      original_[entry.name] = entry.content;
      Write(entry.name, entry.content);
    }
  }
  void Write(const std::string& part, const std::string& content) {
    fs::create_directories((Folder() / part).parent_path());
    testsupport::WriteFileBytes(Folder() / part, testsupport::ToBytes(content));
  }
  void Remove(const std::string& part) { fs::remove(Folder() / part); }
  std::string Read(const std::string& part) const {
    return engine::ReadPart(Folder(), part).value_or("<missing>");
  }
  std::vector<engine::Relationship> Relationships(const std::string& rels) const {
    return engine::ParseRelationships(Read(rels)).value_or(std::vector<engine::Relationship>{});
  }
  std::vector<std::string> Targets(const std::string& rels) const {
    std::vector<std::string> targets;
    for (const auto& relationship : Relationships(rels))
      targets.push_back(relationship.target);
    std::sort(targets.begin(), targets.end());
    return targets;
  }
  // What a word processor needs of the repaired tree: every XML part parses, every internal
  // relationship resolves, the content types type every part.
  void ExpectOpenable() const {
    const auto parts = engine::ListPackageParts(Folder());
    for (const auto& part : parts) {
      const auto extension = engine::PartExtension(part);
      if (extension == "xml" || extension == "rels") {
        EXPECT_TRUE(engine::XmlParses(Read(part))) << part;
      }
      if (extension != "rels") continue;
      for (const auto& relationship : Relationships(part)) {
        if (relationship.external) continue;
        const auto target = engine::ResolveTarget(part, relationship.target);
        EXPECT_TRUE(target && parts.contains(*target)) << part << " " << relationship.target;
      }
    }
    const auto types = engine::ParseContentTypes(Read("[Content_Types].xml"));
    ASSERT_TRUE(types.has_value());
    for (const auto& part : parts) {
      if (part == "[Content_Types].xml") continue;
      EXPECT_TRUE(types->Covers(part)) << part;
    }
  }
  const fs::path& Folder() const { return folder_.Path(); }

  testkit::TempFolder folder_{"engine-test-"};
  std::map<std::string, std::string> original_;
};

TEST_F(TreeRepairTest, IntactPackageStaysByteForByte) {
  for (const char* sample : {"letter.dotm", "report.dotm", "memo.dotm"}) {
    SCOPED_TRACE(sample);
    fs::remove_all(Folder());
    fs::create_directories(Folder());
    Unpack(sample);
    const auto result = engine::RepairTree(Folder());
    EXPECT_EQ(result.contentTypes, engine::ContentTypesOutcome::kKept);
    EXPECT_EQ(result.relationships.relationshipsRemoved, 0);
    EXPECT_EQ(result.relationships.partsRebuilt, 0);
    EXPECT_TRUE(result.xmlClosed.empty());
    EXPECT_TRUE(result.Rewritten().empty());
    EXPECT_EQ(engine::ListPackageParts(Folder()).size(), original_.size());
    for (const auto& [name, content] : original_)
      EXPECT_EQ(Read(name), content) << name;
    original_.clear();
  }
}

TEST_F(TreeRepairTest, RelationshipToALostPartIsRemoved) {
  Unpack("letter.dotm");
  Remove("word/media/image1.gif");
  Remove("docProps/custom.xml");
  const auto result = engine::RepairTree(Folder());
  EXPECT_EQ(result.relationships.relationshipsRemoved, 2);
  // Both relationship parts are written anew and named as such; the content types lose nothing
  // a present part needs, so they stay.
  EXPECT_EQ(result.Rewritten(),
            (std::set<std::string>{"_rels/.rels", "word/_rels/document.xml.rels"}));
  EXPECT_EQ(Targets("word/_rels/document.xml.rels"),
            (std::vector<std::string>{"fontTable.xml", "media/image2.jpeg", "numbering.xml",
                                      "settings.xml", "styles.xml"}));
  EXPECT_EQ(
      Targets("_rels/.rels"),
      (std::vector<std::string>{"docProps/app.xml", "docProps/core.xml", "word/document.xml"}));
  ExpectOpenable();
}

// Overrides that name lost parts do a word processor no harm: content types that parse and type
// every part present stay byte for byte, and a relationships part none of whose targets was lost
// is not touched either.
TEST_F(TreeRepairTest, OnlyWhatNamesALostPartIsEdited) {
  Unpack("report.dotm");
  Remove("word/styles.xml");
  Remove("word/media/image1.png");
  const auto result = engine::RepairTree(Folder());
  EXPECT_EQ(result.contentTypes, engine::ContentTypesOutcome::kKept);
  EXPECT_EQ(Read("[Content_Types].xml"), original_.at("[Content_Types].xml"));
  EXPECT_EQ(Read("_rels/.rels"), original_.at("_rels/.rels"));
  EXPECT_EQ(result.Rewritten(), (std::set<std::string>{"word/_rels/document.xml.rels"}));
  EXPECT_EQ(result.relationships.relationshipsRemoved, 2);
  ExpectOpenable();
}

TEST_F(TreeRepairTest, LostRelationshipPartsAreRebuiltFromThePartsPresent) {
  Unpack("letter.dotm");
  Remove("_rels/.rels");
  Remove("word/_rels/document.xml.rels");
  Write("word/vbaProject.bin", "macro project");
  Write("word/header1.xml", "<w:hdr xmlns:w=\"urn:w\"/>");
  const auto result = engine::RepairTree(Folder());
  EXPECT_EQ(result.relationships.partsRebuilt, 2);
  EXPECT_EQ(result.Rewritten(), (std::set<std::string>{"[Content_Types].xml", "_rels/.rels",
                                                       "word/_rels/document.xml.rels"}));
  EXPECT_EQ(Targets("_rels/.rels"),
            (std::vector<std::string>{"docProps/app.xml", "docProps/core.xml",
                                      "docProps/custom.xml", "word/document.xml"}));
  EXPECT_EQ(Targets("word/_rels/document.xml.rels"),
            (std::vector<std::string>{"fontTable.xml", "header1.xml", "media/image1.gif",
                                      "media/image2.jpeg", "numbering.xml", "settings.xml",
                                      "styles.xml", "vbaProject.bin"}));
  for (const auto& relationship : Relationships("_rels/.rels")) {
    if (relationship.target == "word/document.xml") {
      EXPECT_EQ(relationship.type,
                "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                "officeDocument");
    }
  }
  // The main document's image references point at identifiers that were lost with the part:
  // a word processor shows the text without the pictures.
  ExpectOpenable();
  const auto types = engine::ParseContentTypes(Read("[Content_Types].xml"));
  ASSERT_TRUE(types.has_value());
  EXPECT_EQ(types->TypeOf("word/vbaProject.bin"), "application/vnd.ms-office.vbaProject");
  EXPECT_EQ(types->TypeOf("word/header1.xml"),
            "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml");
}

// A header reference whose relationship is gone makes LibreOffice refuse the document.
TEST_F(TreeRepairTest, HeaderReferenceToAMissingRelationshipIsRemoved) {
  Unpack("letter.dotm");
  std::string document = original_["word/document.xml"];
  const std::string sectPr = "<w:sectPr>";
  ASSERT_NE(document.find(sectPr), std::string::npos);
  document.insert(document.find(sectPr) + sectPr.size(),
                  "<w:headerReference w:type=\"default\" r:id=\"rId77\"/>"
                  "<w:footerReference w:type=\"default\" r:id=\"rId1\"/>");
  Write("word/document.xml", document);
  const auto result = engine::RepairTree(Folder());
  EXPECT_EQ(result.relationships.referencesRemoved, 1);
  EXPECT_EQ(result.Rewritten(), std::set<std::string>{"word/document.xml"});
  const std::string repaired = Read("word/document.xml");
  EXPECT_EQ(repaired.find("rId77"), std::string::npos);
  EXPECT_NE(repaired.find("<w:footerReference w:type=\"default\" r:id=\"rId1\"/>"),
            std::string::npos);
  EXPECT_EQ(repaired.size(), document.size() - std::string("<w:headerReference w:type=\"default\" "
                                                           "r:id=\"rId77\"/>")
                                                   .size());
  ExpectOpenable();
}

TEST_F(TreeRepairTest, CutMainDocumentKeepsEveryParagraphThatSurvived) {
  Unpack("letter.dotm");
  const std::string document = original_["word/document.xml"];
  for (const std::size_t cut : {document.size() / 3, document.size() / 2, document.size() - 40}) {
    SCOPED_TRACE(cut);
    const std::string prefix = document.substr(0, cut);
    Write("word/document.xml", prefix);
    engine::TreeRepairInput input;
    input.knownCut.insert("word/document.xml");
    const auto result = engine::RepairTree(Folder(), input);
    EXPECT_TRUE(result.xmlClosed.contains("word/document.xml"));
    const std::string repaired = Read("word/document.xml");
    ASSERT_TRUE(engine::XmlParses(repaired));
    // Every paragraph ended within the prefix is there as it was.
    const std::size_t lastEnd = prefix.rfind("</w:p>");
    ASSERT_NE(lastEnd, std::string::npos);
    EXPECT_EQ(repaired.substr(0, lastEnd + 6), prefix.substr(0, lastEnd + 6));
    ExpectOpenable();
  }
}

// A part that cannot be mended stays as recovered, and nothing leads to it.
TEST_F(TreeRepairTest, UnreadablePartStaysButNoRelationshipLeadsToIt) {
  Unpack("letter.dotm");
  Write("word/styles.xml", "<?xml version=\"1.0\"?><w:sty");
  const auto result = engine::RepairTree(Folder());
  EXPECT_TRUE(result.xmlUnreadable.contains("word/styles.xml"));
  EXPECT_EQ(Read("word/styles.xml"), "<?xml version=\"1.0\"?><w:sty");
  const auto targets = Targets("word/_rels/document.xml.rels");
  EXPECT_EQ(std::count(targets.begin(), targets.end(), "styles.xml"), 0);
}

// A cut picture is what survived of it, not broken XML: it keeps its bytes and its
// relationship, and the relationship part that leads to it is not rewritten.
TEST_F(TreeRepairTest, CutPictureKeepsItsBytesAndItsRelationship) {
  Unpack("report.dotm");
  const std::string picture = original_["word/media/image1.png"];
  const std::string prefix = picture.substr(0, picture.size() / 3);
  Write("word/media/image1.png", prefix);
  engine::TreeRepairInput input;
  input.knownCut.insert("word/media/image1.png");
  const auto result = engine::RepairTree(Folder(), input);
  EXPECT_TRUE(result.xmlClosed.empty());
  EXPECT_TRUE(result.xmlUnreadable.empty());
  EXPECT_EQ(Read("word/media/image1.png"), prefix);
  EXPECT_EQ(Read("word/_rels/document.xml.rels"), original_["word/_rels/document.xml.rels"]);
}

TEST_F(TreeRepairTest, CutRelationshipsAndContentTypesAreMended) {
  Unpack("report.dotm");
  const std::string rels = original_["word/_rels/document.xml.rels"];
  Write("word/_rels/document.xml.rels", rels.substr(0, rels.size() - 60));
  const std::string types = original_["[Content_Types].xml"];
  Write("[Content_Types].xml", types.substr(0, types.size() / 2));
  engine::RepairTree(Folder());
  ExpectOpenable();
  const auto map = engine::ParseContentTypes(Read("[Content_Types].xml"));
  ASSERT_TRUE(map.has_value());
  EXPECT_EQ(map->TypeOf("word/media/image1.png"), "image/png");
}

}  // namespace
