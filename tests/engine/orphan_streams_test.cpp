// Data whose local header was destroyed, in packages built byte by byte: what its content
// identifies goes back under its name, reported as identified; what it does not is reported by
// its offset and left out; identified data never takes the place of a part recovered otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>

#include "engine/package_scanner.h"
#include "engine/part_extraction.h"
#include "engine/part_identity.h"
#include "testkit/extraction_run.h"
#include "testkit/package_builder.h"
#include "testkit/recording_view.h"
#include "testkit/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using engine::PartOutcome;
using testsupport::Bytes;
using testsupport::EntrySpec;
using testsupport::PackageBuilder;
using testsupport::ToBytes;

const std::string kDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const std::string kWordNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const std::string kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Document() {
  std::string text = kDeclaration + "<w:document xmlns:w=\"" + kWordNs + "\"><w:body>";
  for (int i = 0; i < 40; ++i)
    text += "<w:p><w:r><w:t>Line " + std::to_string(i) + "</w:t></w:r></w:p>";
  return text + "</w:body></w:document>";
}

std::string Styles() {
  return kDeclaration + "<w:styles xmlns:w=\"" + kWordNs + "\"><w:style w:styleId=\"Normal\"/>" +
         std::string(200, ' ') + "</w:styles>";
}

std::string Rels(const std::vector<std::pair<std::string, std::string>>& relationships) {
  std::string text = kDeclaration +
                     "<Relationships "
                     "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  int id = 1;
  for (const auto& [type, target] : relationships) {
    const std::string fullType = type.find('/') == std::string::npos ? kRelNs + type : type;
    text += "<Relationship Id=\"rId" + std::to_string(id++) + "\" Type=\"" + fullType +
            "\" Target=\"" + target + "\"/>";
  }
  return text + "</Relationships>";
}

std::string PackageRels() {
  return Rels({{"officeDocument", "word/document.xml"},
               {"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
                "core-properties",
                "docProps/core.xml"}});
}

std::string DocumentRels() {
  return Rels({{"styles", "styles.xml"}, {"image", "media/image1.png"}});
}

Bytes Png() {
  Bytes png = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48};
  const Bytes noise = testsupport::NoiseBytes(600, 9);
  png.insert(png.end(), noise.begin(), noise.end());
  return png;
}

struct Part {
  std::string name;
  Bytes content;
  std::uint16_t method = 8;
};

std::vector<Part> TemplateParts() {
  return {{"_rels/.rels", ToBytes(PackageRels())},
          {"word/document.xml", ToBytes(Document())},
          {"word/_rels/document.xml.rels", ToBytes(DocumentRels())},
          {"word/styles.xml", ToBytes(Styles())},
          {"word/media/image1.png", Png()},
          {"docProps/core.xml",
           ToBytes(kDeclaration +
                   "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/"
                   "metadata/core-properties\"/>")}};
}

enum class Destroy { kSignature, kWholeHeader };

class OrphanStreamsTest : public ::testing::Test {
 protected:
  OrphanStreamsTest() { fs::create_directory(FileFolder()); }

  fs::path FileFolder() const { return folder_.Path() / "files"; }

  // The package of parts with the local header of part index destroyed.
  Bytes Package(const std::vector<Part>& parts, std::size_t index, Destroy how) {
    PackageBuilder builder;
    for (const auto& part : parts) {
      builder.Add({.name = part.name, .content = part.content, .method = part.method});
    }
    Bytes bytes = builder.Build();
    const std::size_t at = builder.HeaderOffsets()[index];
    const std::size_t length = how == Destroy::kSignature ? 4 : 30 + parts[index].name.size();
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(at),
              bytes.begin() + static_cast<std::ptrdiff_t>(at + length), std::uint8_t{0xAA});
    dataOffset_ = at + 30 + parts[index].name.size();
    return bytes;
  }

  std::map<std::wstring, PartOutcome> Recover(const Bytes& package) {
    const fs::path path = folder_.Path() / "package.dotm";
    testsupport::WriteFileBytes(path, package);
    auto run = testsupport::ScanAndExtract(view_, path, FileFolder());
    EXPECT_TRUE(run.scanned);
    report_ = std::move(run.report);
    return testsupport::NotWholeByName(report_);
  }

  Bytes Output(const fs::path& relative) const {
    return testsupport::ReadFileBytes(FileFolder() / relative);
  }

  testkit::TempFolder folder_{"engine-test-"};
  testsupport::RecordingView view_;
  engine::ExtractionReport report_;
  std::size_t dataOffset_ = 0;
};

TEST_F(OrphanStreamsTest, DeflatedMainDocumentIsNamedByItsRootElement) {
  const auto parts = TemplateParts();
  for (const Destroy how : {Destroy::kSignature, Destroy::kWholeHeader}) {
    SCOPED_TRACE(how == Destroy::kSignature ? "signature" : "whole header");
    fs::remove_all(FileFolder());
    fs::create_directory(FileFolder());
    const auto reported = Recover(Package(parts, 1, how));
    EXPECT_EQ(
        reported,
        (std::map<std::wstring, PartOutcome>{{L"word\\document.xml", PartOutcome::kIdentified}}));
    EXPECT_EQ(Output("word/document.xml"), parts[1].content);
    EXPECT_TRUE(report_.unidentified.empty());
  }
}

TEST_F(OrphanStreamsTest, RelationshipsAreNamedByWhatTheyPointAt) {
  const auto parts = TemplateParts();
  // The package's own relationships lead to the top parts; the document's to its styles.
  for (const std::size_t index : {std::size_t{0}, std::size_t{2}}) {
    SCOPED_TRACE(parts[index].name);
    fs::remove_all(FileFolder());
    fs::create_directory(FileFolder());
    std::wstring expected(parts[index].name.begin(), parts[index].name.end());
    std::replace(expected.begin(), expected.end(), L'/', L'\\');
    const auto reported = Recover(Package(parts, index, Destroy::kWholeHeader));
    EXPECT_EQ(reported,
              (std::map<std::wstring, PartOutcome>{{expected, PartOutcome::kIdentified}}));
    EXPECT_EQ(Output(parts[index].name), parts[index].content);
  }
}

TEST_F(OrphanStreamsTest, ImageIsNamedByTheRelationshipToTheMissingMediaPart) {
  auto parts = TemplateParts();
  for (const std::uint16_t method : {std::uint16_t{8}, std::uint16_t{0}}) {
    SCOPED_TRACE(method);
    fs::remove_all(FileFolder());
    fs::create_directory(FileFolder());
    parts[4].method = method;
    // Stored data is only taken where the header's fields outlived its signature, and its
    // CRC-32 confirms them.
    const auto reported = Recover(Package(parts, 4, Destroy::kSignature));
    EXPECT_EQ(reported, (std::map<std::wstring, PartOutcome>{
                            {L"word\\media\\image1.png", PartOutcome::kIdentified}}));
    EXPECT_EQ(Output("word/media/image1.png"), parts[4].content);
  }
}

TEST_F(OrphanStreamsTest, StreamThatTellsNoNameIsReportedByOffsetAndLeftOut) {
  auto parts = TemplateParts();
  parts.insert(parts.begin() + 2,
               Part{"word/notes.txt", ToBytes(std::string(300, 'x') + " plain words, no markup")});
  const auto reported = Recover(Package(parts, 2, Destroy::kWholeHeader));
  // The directory still lists the part: it is said to be lost, and its data is left out.
  EXPECT_EQ(reported,
            (std::map<std::wstring, PartOutcome>{{L"word\\notes.txt", PartOutcome::kNoData}}));
  EXPECT_EQ(report_.unidentified, (std::vector<std::uint64_t>{dataOffset_}));
  EXPECT_FALSE(fs::exists(FileFolder() / "word" / "notes.txt"));
}

TEST_F(OrphanStreamsTest, IdentifiedDataNeverTakesThePlaceOfARecoveredPart) {
  auto parts = TemplateParts();
  // A second main document under a destroyed header: the recovered one stays.
  std::string other = Document();
  other.replace(other.find("Line 0"), 6, "Other!");
  parts.push_back({"word/other.xml", ToBytes(other)});
  const auto reported = Recover(Package(parts, parts.size() - 1, Destroy::kWholeHeader));
  EXPECT_EQ(reported,
            (std::map<std::wstring, PartOutcome>{{L"word\\other.xml", PartOutcome::kNoData}}));
  EXPECT_EQ(Output("word/document.xml"), parts[1].content);
  EXPECT_EQ(report_.unidentified, (std::vector<std::uint64_t>{dataOffset_}));
}

TEST(PartIdentityTest, KindsFromContent) {
  EXPECT_EQ(engine::IdentifyContent(Document()).kind, engine::PartKind::kMainDocument);
  EXPECT_EQ(engine::IdentifyContent(Styles()).kind, engine::PartKind::kStyles);
  EXPECT_EQ(engine::IdentifyContent(PackageRels()).kind, engine::PartKind::kRelationships);
  const Bytes png = Png();
  const auto image = engine::IdentifyContent(std::string(png.begin(), png.end()));
  EXPECT_EQ(image.kind, engine::PartKind::kImage);
  EXPECT_EQ(image.extension, "png");
  // The root's namespace counts, not only its name.
  EXPECT_EQ(engine::IdentifyContent("<document xmlns=\"urn:other\"/>").kind,
            engine::PartKind::kUnknown);
  // A head cut after the root's start tag is enough.
  EXPECT_EQ(engine::IdentifyContent(Document().substr(0, 200)).kind,
            engine::PartKind::kMainDocument);
}

TEST(PartIdentityTest, AHeaderIsNamedOnlyWhenTheRelationshipsLeaveOneName) {
  engine::PackageKnowledge knowledge;
  const engine::ContentIdentity header{engine::PartKind::kHeader, {}};
  const std::string content = "<w:hdr xmlns:w=\"" + kWordNs + "\"/>";
  EXPECT_FALSE(engine::NameForContent(header, content, knowledge).has_value());
  knowledge.relationships.push_back({"word/_rels/document.xml.rels",
                                     {{"rId1", kRelNs + "header", "header1.xml", false},
                                      {"rId2", kRelNs + "header", "header2.xml", false}}});
  EXPECT_FALSE(engine::NameForContent(header, content, knowledge).has_value());
  knowledge.present.insert("word/header1.xml");
  EXPECT_EQ(engine::NameForContent(header, content, knowledge), "word/header2.xml");
}

}  // namespace
