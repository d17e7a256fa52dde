// Damaged packages built byte by byte whose saved tree a word processor must still open: found
// by converting the recovery bench's repaired packages with LibreOffice, which refuses the whole
// package when the package's relationships or content types are not in their namespace, or when
// nothing leads to the main document.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>

#include "engine/content_types_builder.h"
#include "engine/package_scanner.h"
#include "engine/part_extraction.h"
#include "engine/part_identity.h"
#include "engine/relationships_repair.h"
#include "engine/xml_repair.h"
#include "testkit/extraction_run.h"
#include "testkit/package_builder.h"
#include "testkit/recording_view.h"
#include "testkit/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using engine::PartOutcome;
using testsupport::Bytes;
using testsupport::PackageBuilder;
using testsupport::ToBytes;

using Reported = std::map<std::wstring, PartOutcome>;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
const std::string kTypesNamespace = "http://schemas.openxmlformats.org/package/2006/content-types";
const std::string kRelsNamespace = "http://schemas.openxmlformats.org/package/2006/relationships";
const std::string kOffice = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

const std::string kTypes =
    kDeclaration + "<Types xmlns=\"" + kTypesNamespace +
    "\"><Default Extension=\"xml\" ContentType=\"application/xml\"/><Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Override "
    "PartName=\"/word/document.xml\" ContentType=\"application/"
    "vnd.ms-word.template.macroEnabledTemplate.main+xml\"/><Override "
    "PartName=\"/docProps/core.xml\" "
    "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/></Types>";
const std::string kCoreRelationship =
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/package/2006/"
    "relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>";
const std::string kMainRelationship = "<Relationship Id=\"rId2\" Type=\"" + kOffice +
                                      "officeDocument\" Target=\"word/document.xml\"/>";
const std::string kPackageRels = kDeclaration + "<Relationships xmlns=\"" + kRelsNamespace + "\">" +
                                 kCoreRelationship + kMainRelationship + "</Relationships>";
const std::string kDocument =
    "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
    "<w:body><w:p><w:r><w:t>text</w:t></w:r></w:p></w:body></w:document>";
const std::string kCore =
    "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/"
    "core-properties\"/>";

// content with one byte of its namespace URI changed, as the data of a stored entry whose
// CRC-32 is the content's: the entry is damaged, its XML still parses.
Bytes NamespaceFlipped(const std::string& content, const std::string& ns) {
  std::string data = content;
  const auto at = data.find(ns);
  data[at + ns.find("schemas") + 5] = 'd';  // "schemas" -> "schemds"
  return ToBytes(data);
}

class OpenablePackageTest : public ::testing::Test {
 protected:
  OpenablePackageTest() { fs::create_directory(FileFolder()); }

  fs::path FileFolder() const { return folder_.Path() / "files"; }

  // Scans and extracts the package bytes (the tree repair included); returns the parts reported
  // not whole.
  Reported Recover(const Bytes& package) {
    const fs::path path = folder_.Path() / "package.dotm";
    testsupport::WriteFileBytes(path, package);
    const auto run = testsupport::ScanAndExtract(view_, path, FileFolder());
    EXPECT_TRUE(run.scanned);
    return testsupport::NotWholeByName(run.report);
  }

  std::string Output(const fs::path& relative) const {
    const Bytes bytes = testsupport::ReadFileBytes(FileFolder() / relative);
    return std::string(bytes.begin(), bytes.end());
  }

  testkit::TempFolder folder_{"engine-test-"};
  testsupport::RecordingView view_;
};

std::vector<std::string> Ids(const std::vector<engine::Relationship>& relationships) {
  std::vector<std::string> ids;
  for (const auto& relationship : relationships)
    ids.push_back(relationship.id + " " + relationship.type + " " + relationship.target);
  return ids;
}

// One changed byte in the namespace URI of the package's relationships or content types: the
// entries they hold are kept, identifiers included, under the right namespace.
TEST_F(OpenablePackageTest, RelationshipsAndContentTypesOutsideTheirNamespaceAreWrittenAgain) {
  PackageBuilder builder;
  builder.Add({.name = "[Content_Types].xml",
               .content = ToBytes(kTypes),
               .method = 0,
               .data = NamespaceFlipped(kTypes, kTypesNamespace)});
  builder.Add({.name = "_rels/.rels",
               .content = ToBytes(kPackageRels),
               .method = 0,
               .data = NamespaceFlipped(kPackageRels, kRelsNamespace)});
  builder.AddDeflated("docProps/core.xml", kCore);
  builder.AddDeflated("word/document.xml", kDocument);
  EXPECT_EQ(Recover(builder.Build()), (Reported{{L"[Content_Types].xml", PartOutcome::kDamaged},
                                                {L"_rels\\.rels", PartOutcome::kDamaged}}));

  const std::string rels = Output("_rels/.rels");
  EXPECT_EQ(engine::IdentifyContent(rels).kind, engine::PartKind::kRelationships);
  const auto kept = engine::ParseRelationships(rels);
  const auto own = engine::ParseRelationships(kPackageRels);
  ASSERT_TRUE(kept && own);
  EXPECT_EQ(Ids(*kept), Ids(*own));

  const std::string types = Output("[Content_Types].xml");
  EXPECT_EQ(engine::IdentifyContent(types).kind, engine::PartKind::kContentTypes);
  const auto map = engine::ParseContentTypes(types);
  const auto original = engine::ParseContentTypes(kTypes);
  ASSERT_TRUE(map && original);
  EXPECT_EQ(map->defaults, original->defaults);
  EXPECT_EQ(map->overrides, original->overrides);
}

// The package's relationships cut inside the one to the main document: closed, they lead a word
// processor nowhere, so a relationship to the main document present is added. Whole ones without
// it are left as their writer made them (the next test, and the sample template of the jobs'
// tests).
TEST_F(OpenablePackageTest, CutPackageRelationshipsGetOneToTheMainDocument) {
  PackageBuilder builder;
  builder.AddDeflated("[Content_Types].xml", kTypes);
  builder.AddDeflated("docProps/core.xml", kCore);
  builder.AddDeflated("word/document.xml", kDocument);
  builder.AddStored("_rels/.rels", kPackageRels);
  const Bytes whole = builder.Build(false);
  // The file ends inside the main document's relationship, the last thing of the last entry.
  const std::size_t tail = kMainRelationship.size() - 20 + std::string("</Relationships>").size();
  const Bytes cut(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(tail));
  EXPECT_EQ(Recover(cut), (Reported{{L"_rels\\.rels", PartOutcome::kCutShort}}));
  // Extraction tells the relationship pass which parts are not whole.
  const std::string repaired = Output("_rels/.rels");
  const auto kept = engine::ParseRelationships(repaired);
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(Ids(*kept),
            (std::vector<std::string>{
                "rId1 http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
                "core-properties docProps/core.xml",
                "rIdRebuilt1 " + kOffice + "officeDocument word/document.xml"}));
  // A second pass adds nothing.
  engine::RepairRelationships(FileFolder(), {}, {"_rels/.rels"});
  EXPECT_EQ(Output("_rels/.rels"), repaired);
}

// Relationships that still lead to the main document get no second one, and neither do those
// of a package whose main document cannot be read (cut inside its root's start tag).
TEST_F(OpenablePackageTest, NoRelationshipToTheMainDocumentWhenOneIsThereOrItIsUnreadable) {
  const std::string unreadable = kDeclaration + "<w:document xmlns";
  for (const bool readable : {true, false}) {
    SCOPED_TRACE(readable);
    fs::remove_all(FileFolder());
    fs::create_directory(FileFolder());
    PackageBuilder builder;
    builder.AddDeflated("[Content_Types].xml", kTypes);
    builder.AddDeflated("docProps/core.xml", kCore);
    builder.Add({.name = "word/document.xml",
                 .content = ToBytes(kDocument),
                 .method = 0,
                 .data = ToBytes(readable ? kDocument : unreadable)});
    const std::string rels = kDeclaration + "<Relationships xmlns=\"" + kRelsNamespace + "\">" +
                             (readable ? kMainRelationship : kCoreRelationship) +
                             "</Relationships>";
    builder.AddDeflated("_rels/.rels", rels);
    Recover(builder.Build());
    EXPECT_EQ(Output("word/document.xml"), readable ? kDocument : unreadable);
    EXPECT_EQ(Output("_rels/.rels"), rels);
  }
}

}  // namespace
