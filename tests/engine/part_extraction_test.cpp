// Extraction writes every recoverable part, byte for byte, inside the file folder and nowhere
// else; a bad part is skipped and the next one is still written.
#include "engine/part_extraction.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "engine/content_types.h"
#include "engine/content_types_builder.h"
#include "engine/package_scanner.h"
#include "engine/xml_repair.h"
#include "platform/test_helpers.h"
#include "testkit/extraction_run.h"
#include "testkit/package_builder.h"
#include "testkit/recording_view.h"
#include "testkit/temp_folder.h"

namespace {

std::string AsText(const testsupport::Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::EntrySpec;
using testsupport::PackageBuilder;

class ExtractionTest : public ::testing::Test {
 protected:
  ExtractionTest() {
    fs::create_directory(FileFolder());
    fs::create_directory(TempFolder());
  }

  fs::path FileFolder() const { return folder_.Path() / "files"; }
  fs::path TempFolder() const { return folder_.Path() / "opc"; }
  fs::path PackagePath() const { return folder_.Path() / "package.dotm"; }

  // Builds the package, scans it and extracts it; returns the number of parts written.
  std::size_t Extract(const PackageBuilder& builder) { return ExtractReport(builder).written; }
  engine::ExtractionReport ExtractReport(const PackageBuilder& builder) {
    testsupport::WriteFileBytes(PackagePath(), builder.Build());
    auto run = testsupport::ScanAndExtract(view_, PackagePath(), FileFolder());
    EXPECT_TRUE(run.scanned);
    listed_ = run.list.size();
    return std::move(run.report);
  }

  Bytes Output(const fs::path& relative) const {
    return testsupport::ReadFileBytes(FileFolder() / relative);
  }

  testkit::TempFolder folder_{"engine-test-"};
  testsupport::RecordingView view_;
  std::size_t listed_ = 0;
};

// Text that deflate saves a little on, padded with noise until both sizes match.
Bytes EqualSizesContent() {
  const Bytes noise = testsupport::NoiseBytes(300, 3);
  for (std::size_t repeat = 0; repeat < 400; ++repeat) {
    Bytes candidate(repeat, 'a');
    candidate.insert(candidate.end(), noise.begin(), noise.end());
    if (testsupport::RawDeflate(candidate).size() == candidate.size()) return candidate;
  }
  return {};
}

TEST_F(ExtractionTest, StoredAndDeflatedPartsAreWrittenAndNoTemporaryFileStays) {
  const Bytes image = testsupport::NoiseBytes(70000, 8);
  ASSERT_GT(testsupport::RawDeflate(image).size(), image.size());
  const Bytes equal = EqualSizesContent();
  ASSERT_FALSE(equal.empty());
  const std::pair<EntrySpec, const char*> parts[] = {
      {{.name = "word/media/image1.png", .content = testsupport::NoiseBytes(7000, 3), .method = 0},
       "word/media/image1.png"},
      {{.name = "word/document.xml", .content = testsupport::XmlLikeBytes(40000, 5)},
       "word/document.xml"},
      {{.name = "[Content_Types].xml", .content = Bytes(1500, 'c')}, "[Content_Types].xml"},
      // Deflated, its compressed form larger than its content.
      {{.name = "word/media/image2.jpeg", .content = image}, "word/media/image2.jpeg"},
      // Deflated with equal sizes: inflated, not copied.
      {{.name = "equal.bin", .content = equal}, "equal.bin"},
      {{.name = "word/a:b.xml", .content = testsupport::ToBytes("colon"), .method = 0},
       "word/ab.xml"},
      {{.name = "root.xml", .content = testsupport::ToBytes("root"), .method = 0}, "root.xml"},
  };
  PackageBuilder builder;
  for (const auto& [entry, output] : parts)
    builder.Add(entry);
  EXPECT_EQ(Extract(builder), std::size(parts));
  for (const auto& [entry, output] : parts) {
    // Content types that do not parse are rebuilt after extraction.
    if (entry.name == "[Content_Types].xml") continue;
    EXPECT_EQ(Output(output), entry.content) << output;
  }
  EXPECT_TRUE(engine::ParseContentTypes(AsText(Output("[Content_Types].xml"))).has_value());
  EXPECT_TRUE(fs::is_empty(TempFolder()));
  // Folders already present (later parts in word\) raise no message.
  EXPECT_TRUE(view_.Messages().empty());
}

// Stated sizes are evidence, not truth: a cut deflate stream keeps the prefix it decoded and is
// reported cut short; an uncompressed size deflate cannot reach and a stored size past the end
// of the file do not stop a part from coming out whole; an unknown method is reported lost, and
// the parts after each are still written.
TEST_F(ExtractionTest, DamagedPartsKeepWhatSurvivedAndLaterPartsFollow) {
  const Bytes xml = testsupport::XmlLikeBytes(30000, 2);
  Bytes cut = testsupport::RawDeflate(xml);
  cut.resize(cut.size() / 2);
  PackageBuilder builder;
  builder.Add({.name = "word/cut.xml", .content = xml, .method = 8, .data = cut});
  builder.Add({.name = "huge.xml",
               .content = testsupport::ToBytes("small content"),
               .method = 8,
               .uncompressedSizeField = 0xFFFFFFF0u});
  builder.Add({.name = "bzip.bin", .content = testsupport::ToBytes("data"), .method = 12});
  builder.AddDeflated("word/after.xml", "after after after");
  builder.Add({.name = "stored.bin",
               .content = testsupport::ToBytes("tail"),
               .method = 0,
               .compressedSizeField = 0xFFFFFFF0u,
               .uncompressedSizeField = 0xFFFFFFF0u});
  const auto report = ExtractReport(builder);
  EXPECT_EQ(report.written, 4u);
  // Everything the cut stream still decodes is kept, then closed so that it parses.
  const Bytes prefix = testsupport::InflatedPrefix(cut);
  ASSERT_FALSE(prefix.empty());
  ASSERT_LT(prefix.size(), xml.size());
  ASSERT_TRUE(std::equal(prefix.begin(), prefix.end(), xml.begin()));
  const std::string closed = AsText(Output("word/cut.xml"));
  EXPECT_EQ(closed, engine::RepairCutXml(AsText(prefix)));
  EXPECT_TRUE(engine::XmlParses(closed));
  EXPECT_EQ(Output("huge.xml"), testsupport::ToBytes("small content"));
  EXPECT_FALSE(fs::exists(FileFolder() / "bzip.bin"));
  EXPECT_EQ(Output("word/after.xml"), testsupport::ToBytes("after after after"));
  EXPECT_EQ(Output("stored.bin"), testsupport::ToBytes("tail"));
  const std::vector<std::pair<std::wstring, engine::PartOutcome>> notWhole{
      {L"word\\cut.xml", engine::PartOutcome::kCutShort},
      {L"bzip.bin", engine::PartOutcome::kUnsupportedMethod}};
  std::vector<std::pair<std::wstring, engine::PartOutcome>> reported;
  for (const auto& part : report.notWhole)
    reported.emplace_back(part.partPath, part.outcome);
  EXPECT_EQ(reported, notWhole);
  EXPECT_TRUE(fs::is_empty(TempFolder()));
}

// A part the pass after extraction writes is named in the report unless it is already said to
// be cut short: a whole relationship part that loses its relationship to a part that never
// came back, content types completed for the parts present, a relationship part built.
TEST_F(ExtractionTest, PartsTheRepairWritesAreReportedRebuilt) {
  const std::string rels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
      "Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "officeDocument\" Target=\"word/document.xml\"/><Relationship Id=\"rId2\" "
      "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
      "core-properties\" Target=\"docProps/core.xml\"/></Relationships>";
  const Bytes xml = testsupport::XmlLikeBytes(30000, 2);
  Bytes cut = testsupport::RawDeflate(xml);
  cut.resize(cut.size() / 2);
  PackageBuilder builder;
  builder.AddDeflated("[Content_Types].xml",
                      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                      "content-types\"><Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                      "<Default Extension=\"rels\" ContentType=\"application/"
                      "vnd.openxmlformats-package.relationships+xml\"/></Types>");
  builder.AddDeflated("_rels/.rels", rels);
  builder.AddDeflated("word/document.xml", "<w:document xmlns:w=\"urn:w\"/>");
  builder.Add({.name = "word/styles.xml", .content = xml, .method = 8, .data = cut});
  const auto report = ExtractReport(builder);
  ASSERT_EQ(report.notWhole.size(), 1u);
  EXPECT_EQ(report.notWhole[0].outcome, engine::PartOutcome::kCutShort);
  // The main document's relationships, missing, are built for the styles; the cut styles are
  // closed but already reported cut short.
  EXPECT_EQ(report.rebuilt, (std::vector<std::string>{"[Content_Types].xml", "_rels/.rels",
                                                      "word/_rels/document.xml.rels"}));
  EXPECT_NE(AsText(Output("_rels/.rels")), rels);
}

// A part whose bytes match their CRC-32 is as its writer made it, well-formed or not: it is kept
// byte for byte. The same bytes under a CRC-32 they fail are damage, and are mended to parse.
TEST_F(ExtractionTest, WholeXmlIsKeptAsWrittenAndOnlyDamagedXmlIsMended) {
  const std::string unclosed = "<w:document xmlns:w=\"urn:w\"><w:body><w:p>text";
  PackageBuilder builder;
  builder.AddDeflated("word/document.xml", unclosed);
  builder.Add({.name = "word/styles.xml",
               .content = testsupport::ToBytes("<w:styles xmlns:w=\"urn:w\"/>"),
               .method = 8,
               .data = testsupport::RawDeflate(testsupport::ToBytes(unclosed))});
  const auto report = ExtractReport(builder);
  EXPECT_EQ(AsText(Output("word/document.xml")), unclosed);
  const std::string mended = AsText(Output("word/styles.xml"));
  EXPECT_EQ(mended, engine::RepairCutXml(unclosed));
  EXPECT_TRUE(engine::XmlParses(mended));
  ASSERT_TRUE(report.tree.has_value());
  EXPECT_EQ(report.tree->xmlClosed, (std::set<std::string>{"word/styles.xml"}));
  ASSERT_EQ(report.notWhole.size(), 1u);
  EXPECT_EQ(report.notWhole[0].outcome, engine::PartOutcome::kDamaged);
}

// Copies are decoded on several threads, but which copy of a name stands, and what is
// reported, is decided in list order: any number of threads gives the same tree and report.
TEST_F(ExtractionTest, AnyNumberOfThreadsGivesTheSameTreeAndReport) {
  const Bytes xml = testsupport::XmlLikeBytes(40000, 5);
  Bytes cut = testsupport::RawDeflate(xml);
  cut.resize(cut.size() / 3);
  PackageBuilder builder;
  builder.AddDeflated("[Content_Types].xml", "<Types xmlns=\"urn:t\"/>");
  builder.Add({.name = "word/document.xml", .content = xml, .method = 8, .data = cut});
  for (int i = 0; i < 12; ++i) {
    builder.AddDeflated("word/media/p" + std::to_string(i) + ".xml",
                        AsText(testsupport::XmlLikeBytes(3000 + 700 * i, i)));
  }
  builder.Add({.name = "word/document.xml", .content = xml, .method = 8});  // the whole copy
  builder.AddStored("word/vbaProject.bin", "macros");
  builder.Add({.name = "word/vbaProject.bin",  // a later, damaged copy: the first stays
               .content = testsupport::ToBytes("macros"),
               .method = 0,
               .data = testsupport::ToBytes("macrox")});
  builder.Add({.name = "bzip.bin", .content = testsupport::ToBytes("data"), .method = 12});
  testsupport::WriteFileBytes(PackagePath(), builder.Build(false));
  std::atomic<int> running{1};
  engine::JobThreadParam param{.pView = &view_, .pJobRunning = &running};
  engine::ScanList list;
  ASSERT_TRUE(engine::ScanPackage(param, PackagePath().string(), list));
  const auto run = [&](unsigned threads) {
    const fs::path folder = folder_.Path() / ("threads" + std::to_string(threads));
    fs::create_directory(folder);
    const auto report =
        engine::ExtractParts(view_, folder, PackagePath().string(), list, nullptr, threads);
    std::map<std::string, std::string> tree;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
      if (!item.is_regular_file()) continue;
      tree[item.path().lexically_relative(folder).generic_string()] =
          AsText(testsupport::ReadFileBytes(item.path()));
    }
    std::vector<std::tuple<std::wstring, engine::PartOutcome, bool>> copies;
    for (const auto& part : report.found)
      copies.emplace_back(part.entry.partPath, part.outcome, part.kept);
    std::vector<std::pair<std::wstring, engine::PartOutcome>> notWhole;
    for (const auto& part : report.notWhole)
      notWhole.emplace_back(part.partPath, part.outcome);
    return std::make_tuple(tree, copies, notWhole, report.rebuilt, report.written);
  };
  const auto one = run(1);
  EXPECT_EQ(std::get<0>(one).at("word/document.xml"), AsText(xml));
  EXPECT_EQ(std::get<0>(one).at("word/vbaProject.bin"), "macros");
  EXPECT_EQ(run(3), one);
  EXPECT_EQ(run(16), one);
  for (const auto& item : fs::recursive_directory_iterator(folder_.Path())) {
    EXPECT_EQ(item.path().filename().string().find(".dotm-repair-"), std::string::npos)
        << item.path();
  }
}

TEST_F(ExtractionTest, UntrustedNamesNeverLeaveTheFileFolder) {
  PackageBuilder builder;
  builder.AddStored("../evil", "1");
  builder.AddStored("/abs", "2");
  builder.AddStored("C:\\x\\..\\..\\y", "3");
  builder.AddStored("a/../../b", "4");
  builder.AddStored("../..", "5: nothing left");
  builder.AddStored("././/", "6: nothing left");
  EXPECT_EQ(Extract(builder), 4u);
  EXPECT_EQ(Output("evil"), testsupport::ToBytes("1"));
  EXPECT_EQ(Output("abs"), testsupport::ToBytes("2"));
  EXPECT_EQ(Output("C/x/y"), testsupport::ToBytes("3"));
  EXPECT_EQ(Output("a/b"), testsupport::ToBytes("4"));
  for (const auto& item : fs::recursive_directory_iterator(folder_.Path())) {
    if (!item.is_regular_file()) continue;
    const auto relative = item.path().lexically_relative(FileFolder());
    EXPECT_TRUE(item.path() == PackagePath() || (!relative.empty() && *relative.begin() != ".."))
        << item.path();
  }
}

TEST(SafePartPath, KeepsOnlyPlainComponents) {
  EXPECT_EQ(engine::SafePartPath(L"word\\media\\image1.png"), fs::path("word/media/image1.png"));
  EXPECT_EQ(engine::SafePartPath(L"\\\\server\\share\\x"), fs::path("server/share/x"));
  EXPECT_EQ(engine::SafePartPath(L"a\\.\\b"), fs::path("a/b"));
  EXPECT_FALSE(engine::SafePartPath(L""));
  EXPECT_FALSE(engine::SafePartPath(L"..\\..\\"));
  EXPECT_FALSE(engine::SafePartPath(L":"));
  EXPECT_FALSE(engine::SafePartPath(std::wstring(L"a\0b", 3)));
}

TEST_F(ExtractionTest, PlantedLinksAreNeverFollowed) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "links need privileges on Windows";
  const fs::path outside = folder_.Path() / "outside";
  fs::create_directory(outside);
  testsupport::WriteFileBytes(outside / "target.xml", testsupport::ToBytes("untouched"));
  fs::create_directory_symlink(outside, FileFolder() / "word");
  fs::create_symlink(outside / "target.xml", FileFolder() / "root.xml");
  PackageBuilder builder;
  builder.AddStored("word/document.xml", "through a folder link");
  builder.AddStored("root.xml", "replaces the file link");
  EXPECT_EQ(Extract(builder), 1u);
  EXPECT_FALSE(fs::exists(outside / "document.xml"));
  EXPECT_EQ(testsupport::ReadFileBytes(outside / "target.xml"), testsupport::ToBytes("untouched"));
  EXPECT_FALSE(fs::is_symlink(FileFolder() / "root.xml"));
  EXPECT_EQ(Output("root.xml"), testsupport::ToBytes("replaces the file link"));
  EXPECT_EQ(view_.Messages().size(), 1u);
}

TEST_F(ExtractionTest, FolderThatCannotBeMadeShowsTheSystemTextAndTheJobGoesOn) {
  testsupport::WriteFileBytes(FileFolder() / "word", testsupport::ToBytes("a file"));
  PackageBuilder builder;
  builder.AddStored("word/document.xml", "blocked");
  builder.AddStored("docProps/app.xml", "written");
  EXPECT_EQ(Extract(builder), 1u);
  ASSERT_EQ(view_.Messages().size(), 1u);
  EXPECT_EQ(view_.Messages()[0].caption, "Brenvik Viva Zadado");
  EXPECT_EQ(view_.Messages()[0].style, 0x40u);
  EXPECT_EQ(Output("docProps/app.xml"), testsupport::ToBytes("written"));
}

TEST_F(ExtractionTest, ProgressCountsPartsAndContentTypesAreRestored) {
  PackageBuilder builder;
  builder.AddStored("a.txt", "a").AddStored("b.txt", "b");
  EXPECT_EQ(Extract(builder), 2u);
  const std::vector<std::string> expected{"ResetEstimate(file)",    "SetProgressRange(file,2)",
                                          "SetProgressPos(file,0)", "SetProgressPos(file,0)",
                                          "SetProgressPos(file,1)", "SetProgressPos(file,2)"};
  std::vector<std::string> bars;
  for (const auto& call : view_.Calls()) {
    if (call.find("(file") != std::string::npos) bars.push_back(call);
  }
  EXPECT_EQ(bars, expected);
  // The stored copy's entries and a type for the parts it does not cover.
  const auto types = engine::ParseContentTypes(AsText(Output("[Content_Types].xml")));
  ASSERT_TRUE(types.has_value());
  EXPECT_TRUE(types->Covers("a.txt"));
  EXPECT_TRUE(types->Covers("word/document.xml"));
}

TEST_F(ExtractionTest, EmptyListStillGetsContentTypes) {
  EXPECT_EQ(Extract(PackageBuilder{}), 0u);
  EXPECT_EQ(listed_, 0u);
  EXPECT_EQ(view_.barPos[engine::ProgressBar::kFile], 0);
  EXPECT_EQ(fs::file_size(FileFolder() / "[Content_Types].xml"), engine::kStoredContentTypesSize);
}

}  // namespace

namespace {

// A deflated part whose stated size is wrong, with no descriptor and no central directory: only
// its stream's own end tells where it ends.
PackageBuilder PackageWithAnUnsizedStream(const Bytes& content) {
  PackageBuilder builder;
  builder.Add({.name = "word/data.bin", .content = content, .compressedSizeField = 5});
  builder.AddDeflated("word/after.xml", "after after after");
  return builder;
}

}  // namespace

// Such a part is inflated once: the scan inflates it to find where it ends and keeps what it
// produced, and extraction moves that into place. The stream is garbled in the package after
// the scan, so a second inflation would show.
TEST_F(ExtractionTest, StreamTheScanInflatedIsNotInflatedAgain) {
  const Bytes content = testsupport::XmlLikeBytes(300000, 3);
  const Bytes package = PackageWithAnUnsizedStream(content).Build(false);
  testsupport::WriteFileBytes(PackagePath(), package);
  const fs::path keptFolder = folder_.Path() / "kept";
  fs::create_directory(keptFolder);
  {
    engine::KeptStreams kept(keptFolder);
    std::atomic<int> running{1};
    const engine::JobThreadParam param{.pView = &view_, .pJobRunning = &running};
    engine::ScanList list;
    ASSERT_TRUE(engine::ScanPackage(param, PackagePath().string(), list, engine::kScanBufferSize,
                                    nullptr, &kept));
    ASSERT_EQ(list.size(), 2u);
    ASSERT_EQ(list[0].evidence, engine::SizeEvidence::kStreamEnd);
    EXPECT_FALSE(fs::is_empty(keptFolder));
    Bytes garbled = package;
    for (std::uint64_t i = 0; i < list[0].compressedSize; ++i)
      garbled[list[0].dataOffset + i] ^= 0x5A;
    testsupport::WriteFileBytes(PackagePath(), garbled);
    const auto report =
        engine::ExtractParts(view_, FileFolder(), PackagePath().string(), list, &kept);
    EXPECT_EQ(report.written, 2u);
    EXPECT_TRUE(report.notWhole.empty());
    EXPECT_EQ(Output("word/data.bin"), content);
    EXPECT_EQ(Output("word/after.xml"), testsupport::ToBytes("after after after"));
    EXPECT_TRUE(fs::is_empty(keptFolder));
  }
  EXPECT_TRUE(fs::is_empty(keptFolder));
}

// A kept output counts only for the byte range it was inflated from, and what extraction never
// takes is removed with the kept streams; the report is the one a second inflation gives.
TEST_F(ExtractionTest, KeptStreamsMatchTheirRangeAndLeaveNothingBehind) {
  const Bytes content = testsupport::XmlLikeBytes(50000, 4);
  testsupport::WriteFileBytes(PackagePath(), PackageWithAnUnsizedStream(content).Build(false));
  std::atomic<int> running{1};
  const engine::JobThreadParam param{.pView = &view_, .pJobRunning = &running};
  engine::ScanList list;
  ASSERT_TRUE(engine::ScanPackage(param, PackagePath().string(), list));
  const auto plain = engine::ExtractParts(view_, FileFolder(), PackagePath().string(), list);
  const fs::path keptFolder = folder_.Path() / "kept";
  fs::create_directory(keptFolder);
  {
    engine::KeptStreams kept(keptFolder);
    list.clear();
    ASSERT_TRUE(engine::ScanPackage(param, PackagePath().string(), list, engine::kScanBufferSize,
                                    nullptr, &kept));
    ASSERT_EQ(list.size(), 2u);
    ASSERT_EQ(list[0].evidence, engine::SizeEvidence::kStreamEnd);
    EXPECT_FALSE(kept.Take(list[0].dataOffset, list[0].compressedSize + 1));
    EXPECT_FALSE(kept.Take(list[1].dataOffset, list[1].compressedSize));
    fs::remove_all(FileFolder());
    fs::create_directory(FileFolder());
    const auto report =
        engine::ExtractParts(view_, FileFolder(), PackagePath().string(), list, &kept);
    EXPECT_EQ(report.written, plain.written);
    EXPECT_EQ(report.notWhole.size(), plain.notWhole.size());
    EXPECT_EQ(report.rebuilt, plain.rebuilt);
    EXPECT_EQ(Output("word/data.bin"), content);
    // Scanned again: this time nothing takes the output.
    list.clear();
    ASSERT_TRUE(engine::ScanPackage(param, PackagePath().string(), list, engine::kScanBufferSize,
                                    nullptr, &kept));
    EXPECT_FALSE(fs::is_empty(keptFolder));
  }
  EXPECT_TRUE(fs::is_empty(keptFolder));
}
