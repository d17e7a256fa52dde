// Damaged packages built byte by byte, through the scanner and extraction: every part that
// survived comes out byte for byte, every part that did not is reported, and a worse copy of a
// part never takes the place of a better one.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <map>

#include "engine/content_types.h"
#include "engine/content_types_builder.h"
#include "engine/package_scanner.h"
#include "engine/part_extraction.h"
#include "engine/xml_repair.h"
#include "platform/test_helpers.h"
#include "testkit/extraction_run.h"
#include "testkit/package_builder.h"
#include "testkit/recording_view.h"
#include "testkit/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using engine::PartOutcome;
using testsupport::Bytes;
using testsupport::Descriptor;
using testsupport::EntrySpec;
using testsupport::PackageBuilder;
using testsupport::ToBytes;

using Reported = std::map<std::wstring, PartOutcome>;

class RecoveryTest : public ::testing::Test {
 protected:
  RecoveryTest() { fs::create_directory(FileFolder()); }

  fs::path FileFolder() const { return folder_.Path() / "files"; }

  // Scans and extracts the package bytes; returns the parts reported not whole.
  Reported Recover(const Bytes& package) {
    const fs::path path = folder_.Path() / "package.dotm";
    testsupport::WriteFileBytes(path, package);
    auto run = testsupport::ScanAndExtract(view_, path, FileFolder());
    EXPECT_TRUE(run.scanned);
    list_ = std::move(run.list);
    report_ = std::move(run.report);
    return testsupport::NotWholeByName(report_);
  }

  std::string Output(const fs::path& relative) const {
    const Bytes bytes = testsupport::ReadFileBytes(FileFolder() / relative);
    return std::string(bytes.begin(), bytes.end());
  }
  bool Exists(const fs::path& relative) const { return fs::exists(FileFolder() / relative); }

  // Every file of the file folder but the content types, with its content: the parts
  // extraction wrote.
  std::map<std::string, std::string> Tree() const {
    std::map<std::string, std::string> tree;
    for (const auto& item : fs::recursive_directory_iterator(FileFolder())) {
      if (!item.is_regular_file()) continue;
      const std::string name = item.path().lexically_relative(FileFolder()).generic_string();
      if (name != "[Content_Types].xml") tree[name] = Output(name);
    }
    return tree;
  }

  // The content types are completed after extraction: checked by what they say, a type for
  // every part written whose name XML can hold (except is one it cannot).
  void ExpectContentTypesTypeEveryPart(const std::string& except = {}) const {
    ASSERT_TRUE(fs::is_regular_file(FileFolder() / "[Content_Types].xml"));
    const auto map = engine::ParseContentTypes(Output("[Content_Types].xml"));
    ASSERT_TRUE(map.has_value());
    for (const auto& [name, content] : Tree()) {
      if (name == except) continue;
      EXPECT_TRUE(map->Covers(name)) << name;
    }
  }

  testkit::TempFolder folder_{"engine-test-"};
  testsupport::RecordingView view_;
  engine::ScanList list_;
  engine::ExtractionReport report_;
};

std::string Big(char c, std::size_t size = 2000) {
  return std::string(size, c);
}

Bytes Corrupt(std::size_t size) {
  // 0xFF bytes start a deflate block of the reserved type 3: corrupt from the first byte.
  return Bytes(size, 0xFF);
}

// A later copy of the same name (or of a name the safe-path rules turn into the same file) that
// fails to inflate, is cut, or does not match its CRC-32 never replaces, truncates or deletes a
// good earlier copy; a good later copy does replace a worse earlier one.
TEST_F(RecoveryTest, BestCopyOfEachNameWins) {
  const std::string good = Big('g');
  const struct {
    const char* label;
    std::vector<EntrySpec> entries;
  } cases[] = {
      {"later copy corrupt",
       {{.name = "word/document.xml", .content = ToBytes(good)},
        {.name = "word/document.xml", .content = ToBytes(good), .data = Corrupt(300)}}},
      {"later copy maps to the same file",
       {{.name = "word/document.xml", .content = ToBytes(good)},
        {.name = "word/docu:ment.xml", .content = ToBytes(good), .data = Corrupt(300)},
        {.name = "./word//document.xml", .content = ToBytes(good), .data = Corrupt(300)}}},
      {"later copy with a wrong CRC",
       {{.name = "word/document.xml", .content = ToBytes(good)},
        {.name = "word/document.xml",
         .content = ToBytes(good),
         .data = testsupport::RawDeflate(ToBytes(Big('b')))}}},
      {"earlier copy corrupt",
       {{.name = "word/document.xml", .content = ToBytes(good), .data = Corrupt(300)},
        {.name = "word/document.xml", .content = ToBytes(good)}}},
      {"earlier copy stored and cut by a damaged size",
       {{.name = "word/document.xml",
         .content = ToBytes(good),
         .method = 0,
         .data = ToBytes(good.substr(0, 100))},
        {.name = "word/document.xml", .content = ToBytes(good), .method = 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(FileFolder());
    fs::create_directory(FileFolder());
    PackageBuilder builder;
    for (const auto& entry : c.entries)
      builder.Add(entry);
    EXPECT_EQ(Recover(builder.Build(false)), Reported{});
    EXPECT_EQ(Output("word/document.xml"), good);
    // No staged copy is left beside the output.
    EXPECT_EQ(
        std::distance(fs::directory_iterator(FileFolder() / "word"), fs::directory_iterator{}), 1);
  }
}

// A stored part that holds a whole package (an embedded .docx) with its sizes in a data
// descriptor: the inner package's headers are inside the part and never replace the outer parts.
TEST_F(RecoveryTest, EmbeddedPackageInAStoredPartIsNotScanned) {
  PackageBuilder inner;
  inner.AddDeflated("[Content_Types].xml", "inner types");
  inner.AddDeflated("word/document.xml", "inner document");
  inner.Add({.name = "word/media/inner.png",
             .content = ToBytes("inner picture"),
             .method = 0,
             .descriptor = Descriptor::kSigned});
  const Bytes embedded = inner.Build();
  const std::string types = Big('t', 1500);
  for (const auto descriptor : {Descriptor::kSigned, Descriptor::kUnsigned, Descriptor::kNone}) {
    for (const bool directory : {false, true}) {
      SCOPED_TRACE(static_cast<int>(descriptor) * 2 + directory);
      fs::remove_all(FileFolder());
      fs::create_directory(FileFolder());
      PackageBuilder outer;
      outer.AddDeflated("[Content_Types].xml", types);
      outer.AddDeflated("word/document.xml", "outer document");
      outer.Add({.name = "word/embeddings/Sheet.docx",
                 .content = embedded,
                 .method = 0,
                 .descriptor = descriptor});
      outer.AddDeflated("word/styles.xml", "outer styles");
      EXPECT_EQ(Recover(outer.Build(directory)), Reported{});
      const std::map<std::string, std::string> expected{
          {"word/document.xml", "outer document"},
          {"word/embeddings/Sheet.docx", std::string(embedded.begin(), embedded.end())},
          {"word/styles.xml", "outer styles"}};
      EXPECT_EQ(Tree(), expected);
      // The package's own content types are no XML: rebuilt for the parts written.
      ExpectContentTypesTypeEveryPart();
    }
  }
}

// The file cut inside such a part, whose sizes are right: what is there of it is kept and
// reported cut short, and the inner package's parts stay inside it.
TEST_F(RecoveryTest, FileCutInsideAnEmbeddedPackage) {
  PackageBuilder inner;
  inner.AddStored("[Content_Types].xml", "inner types");
  inner.AddStored("word/document.xml", "inner document");
  const Bytes embedded = inner.Build();
  PackageBuilder outer;
  outer.AddDeflated("word/document.xml", "outer document");
  outer.Add({.name = "word/embeddings/Sheet.docx", .content = embedded, .method = 0});
  const Bytes whole = outer.Build(false);
  const Bytes cut(whole.begin(), whole.end() - 20);
  EXPECT_EQ(Recover(cut), (Reported{{L"word\\embeddings\\Sheet.docx", PartOutcome::kCutShort}}));
  EXPECT_EQ(Output("word/document.xml"), "outer document");
  EXPECT_EQ(Output("word/embeddings/Sheet.docx"),
            std::string(embedded.begin(), embedded.end() - 20));
  EXPECT_FALSE(Exists("[Content_Types].xml") && Output("[Content_Types].xml") == "inner types");
}

// Zip64 local headers: both sizes 0xFFFFFFFF, the real ones in the extra field.
// Found by the recovery bench: an embedded package in a stored part whose sizes are only in its
// descriptor, with the file cut inside the embedded package. Nothing ended the outer part, so its
// inner parts were taken for the package's own and claimed whole.
class EmbeddedPackageTest : public RecoveryTest {
 protected:
  EmbeddedPackageTest() {
    PackageBuilder inner;
    inner.AddDeflated("[Content_Types].xml", "inner types");
    inner.AddDeflated("xl/workbook.xml", Big('w', 3000));
    inner.AddStored("docProps/app.xml", "inner properties");
    embedded_ = inner.Build();
  }

  // Outer package: document, the embedded package (stored, descriptor), styles.
  Bytes Outer() {
    PackageBuilder outer;
    outer.AddDeflated("word/document.xml", "outer document");
    outer.Add({.name = "word/embeddings/Sheet.xlsx",
               .content = embedded_,
               .method = 0,
               .descriptor = Descriptor::kSigned});
    outer.AddDeflated("word/styles.xml", "outer styles");
    Bytes bytes = outer.Build(false);
    embeddedData_ =
        outer.HeaderOffsets()[1] + 30 + std::string("word/embeddings/Sheet.xlsx").size();
    stylesHeader_ = outer.HeaderOffsets()[2];
    return bytes;
  }

  Bytes embedded_;
  std::size_t embeddedData_ = 0;
  std::size_t stylesHeader_ = 0;
};

TEST_F(EmbeddedPackageTest, FileCutInsideItKeepsItsPartsInside) {
  const Bytes whole = Outer();
  // Inside the workbook's data, and inside the embedded package's directory.
  for (const std::size_t into : {std::size_t{120}, embedded_.size() - 30}) {
    SCOPED_TRACE(into);
    fs::remove_all(FileFolder());
    fs::create_directory(FileFolder());
    const Bytes cut(whole.begin(), whole.begin() + static_cast<long>(embeddedData_ + into));
    EXPECT_EQ(Recover(cut), (Reported{{L"word\\embeddings\\Sheet.xlsx", PartOutcome::kCutShort}}));
    const std::map<std::string, std::string> expected{
        {"word/document.xml", "outer document"},
        {"word/embeddings/Sheet.xlsx",
         std::string(embedded_.begin(), embedded_.begin() + static_cast<long>(into))}};
    EXPECT_EQ(Tree(), expected);
  }
}

// Its descriptor destroyed: the part ends with the embedded package's end record, is reported
// (no CRC-32 is left to check it by), and the parts after it are the package's own again.
TEST_F(EmbeddedPackageTest, LostDescriptorEndsItAtItsEndRecord) {
  Bytes bytes = Outer();
  const std::size_t descriptor = embeddedData_ + embedded_.size();
  std::fill(bytes.begin() + static_cast<long>(descriptor),
            bytes.begin() + static_cast<long>(descriptor + 16), 0);
  EXPECT_EQ(Recover(bytes), (Reported{{L"word\\embeddings\\Sheet.xlsx", PartOutcome::kDamaged}}));
  const std::map<std::string, std::string> expected{
      {"word/document.xml", "outer document"},
      {"word/embeddings/Sheet.xlsx", std::string(embedded_.begin(), embedded_.end())},
      {"word/styles.xml", "outer styles"}};
  EXPECT_EQ(Tree(), expected);
}

// The embedded part's own header destroyed, the central directory intact: headers inside the
// range the directory gives that part are inside its data, not the package's own.
TEST_F(EmbeddedPackageTest, DirectoryRangeKeepsInnerHeadersInside) {
  PackageBuilder outer;
  outer.AddDeflated("word/document.xml", "outer document");
  outer.Add({.name = "word/embeddings/Sheet.xlsx", .content = embedded_, .method = 0});
  outer.AddDeflated("word/styles.xml", "outer styles");
  Bytes bytes = outer.Build(true);
  std::fill_n(bytes.begin() + static_cast<long>(outer.HeaderOffsets()[1]), 30, 0);
  // The part whose header is gone is reported, as the directory lists it.
  EXPECT_EQ(Recover(bytes), (Reported{{L"word\\embeddings\\Sheet.xlsx", PartOutcome::kNoData}}));
  const std::map<std::string, std::string> expected{{"word/document.xml", "outer document"},
                                                    {"word/styles.xml", "outer styles"}};
  EXPECT_EQ(Tree(), expected);
}

// Found by the recovery bench: a stored part with bytes cut out of its middle keeps its stated
// size as a guess, and that guess reached over the next part's header, which was then never
// looked at: a part that survived was missing from the output and from the log.
TEST_F(RecoveryTest, UnconfirmedSizeHidesNoHeader) {
  PackageBuilder builder;
  builder.AddDeflated("word/document.xml", "document");
  builder.Add({.name = "word/media/a.bin",
               .content = ToBytes(Big('a')),
               .method = 0,
               .data = ToBytes(Big('a', 1900))});
  builder.AddDeflated("word/styles.xml", "styles");
  builder.AddStored("word/media/z.bin", Big('z', 3000));
  EXPECT_EQ(Recover(builder.Build(false)),
            (Reported{{L"word\\media\\a.bin", PartOutcome::kDamaged}}));
  EXPECT_EQ(Output("word/styles.xml"), "styles");
  EXPECT_EQ(Output("word/media/z.bin"), Big('z', 3000));
}

// Found by the recovery bench: two sectors that traded places put a part's record inside the
// data of another part whose range the directory confirms; the scan never looked there, and a
// part that survived was missing from output and log.
TEST_F(RecoveryTest, RecordMovedIntoAnotherPartIsFound) {
  const Bytes noise = testsupport::NoiseBytes(3000, 9);
  PackageBuilder builder;
  builder.Add({.name = "word/media/a.bin", .content = noise});
  builder.AddStored("word/c.xml", "<c/>");
  builder.AddDeflated("word/styles.xml", Big('s'));
  builder.AddStored("word/media/d.bin", Big('d', 1000));
  Bytes bytes = builder.Build(true);
  const auto& offsets = builder.HeaderOffsets();
  const std::size_t length = offsets[3] - offsets[2];
  const auto inA = bytes.begin() + static_cast<long>(offsets[0] + 600);
  std::swap_ranges(inA, inA + static_cast<long>(length),
                   bytes.begin() + static_cast<long>(offsets[2]));
  EXPECT_EQ(Recover(bytes), (Reported{{L"word\\media\\a.bin", PartOutcome::kDamaged}}));
  EXPECT_EQ(Output("word/styles.xml"), Big('s'));
  EXPECT_EQ(Output("word/c.xml"), "<c/>");
  EXPECT_EQ(Output("word/media/d.bin"), Big('d', 1000));
}

TEST_F(RecoveryTest, Zip64LocalHeadersGiveTheirSizes) {
  const Bytes xml = testsupport::XmlLikeBytes(40000, 3);
  const Bytes picture = testsupport::NoiseBytes(5000, 4);
  const Bytes deflated = testsupport::RawDeflate(xml);
  PackageBuilder builder;
  builder.Add({.name = "word/document.xml",
               .content = xml,
               .extra = testsupport::Zip64Extra(xml.size(), deflated.size()),
               .compressedSizeField = 0xFFFFFFFF,
               .uncompressedSizeField = 0xFFFFFFFF});
  builder.Add({.name = "word/media/image1.png",
               .content = picture,
               .method = 0,
               .extra = testsupport::Zip64Extra(picture.size(), picture.size()),
               .compressedSizeField = 0xFFFFFFFF,
               .uncompressedSizeField = 0xFFFFFFFF});
  builder.AddDeflated("docProps/app.xml", "after");
  EXPECT_EQ(Recover(builder.Build(false)), Reported{});
  EXPECT_EQ(testsupport::ReadFileBytes(FileFolder() / "word/document.xml"), xml);
  EXPECT_EQ(testsupport::ReadFileBytes(FileFolder() / "word/media/image1.png"), picture);
  EXPECT_EQ(Output("docProps/app.xml"), "after");
}

// A deflated part's size is what its stream produces, whatever the header or descriptor says:
// an uncompressed size of 0, a zip64 descriptor, mixes of zero sizes with the descriptor flag.
TEST_F(RecoveryTest, DeflatedSizesComeFromTheStream) {
  const Bytes xml = testsupport::XmlLikeBytes(20000, 5);
  const struct {
    const char* label;
    EntrySpec entry;
  } cases[] = {
      {"uncompressed size 0", {.content = xml, .uncompressedSizeField = 0}},
      {"compressed size 0", {.content = xml, .compressedSizeField = 0}},
      {"sizes enlarged",
       {.content = xml, .compressedSizeField = 90000, .uncompressedSizeField = 1}},
      {"sizes shrunk", {.content = xml, .compressedSizeField = 10}},
      {"signed zip64 descriptor", {.content = xml, .descriptor = Descriptor::kSignedZip64}},
      {"unsigned zip64 descriptor", {.content = xml, .descriptor = Descriptor::kUnsignedZip64}},
      {"descriptor and sizes in the header",
       {.content = xml, .descriptor = Descriptor::kSigned, .compressedSizeField = 123}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    for (const bool directory : {false, true}) {
      fs::remove_all(FileFolder());
      fs::create_directory(FileFolder());
      EntrySpec entry = c.entry;
      entry.name = "word/document.xml";
      PackageBuilder builder;
      builder.Add(entry);
      builder.AddStored("after.xml", "after");
      EXPECT_EQ(Recover(builder.Build(directory)), Reported{});
      EXPECT_EQ(testsupport::ReadFileBytes(FileFolder() / "word/document.xml"), xml);
      EXPECT_EQ(Output("after.xml"), "after");
    }
  }
}

// "PK\3\4" bytes in a part's name, extra field or data, or in the central directory's copy of a
// name, are not headers.
TEST_F(RecoveryTest, SignaturesInsideAnAcceptedPartAreNotHeaders) {
  if (!platform::testing::HasPosixFileSystem())
    GTEST_SKIP() << "no control characters in names here";
  PackageBuilder fake;
  fake.AddStored("word/document.xml", "fake");
  const Bytes fakePackage = fake.Build();
  Bytes extra{0x99, 0x99, 0, 0};
  extra.insert(extra.end(), fakePackage.begin(), fakePackage.end());
  extra[2] = static_cast<std::uint8_t>(fakePackage.size());
  extra[3] = static_cast<std::uint8_t>(fakePackage.size() >> 8);
  // A whole stored header in a name: the central directory's copy of the name holds it too.
  const Bytes fakeHeader = [] {
    PackageBuilder evil;
    evil.AddStored("word/evil", "evil");
    Bytes bytes = evil.Build(false);
    return bytes;
  }();
  const std::string fakeName(fakeHeader.begin(), fakeHeader.end());
  // Names end at their first NUL byte, here the one after the fake header's version.
  const std::string nameWithSignature = "word/" + fakeName + ".xml";
  const std::string storedName = "word/" + fakeName.substr(0, 5);
  for (const bool directory : {false, true}) {
    SCOPED_TRACE(directory);
    fs::remove_all(FileFolder());
    fs::create_directory(FileFolder());
    PackageBuilder builder;
    builder.AddDeflated("word/document.xml", "real");
    builder.AddStored(nameWithSignature, "named");
    builder.Add({.name = "word/extra.xml", .content = ToBytes("extra"), .extra = extra});
    builder.Add({.name = "word/data.bin", .content = fakePackage, .method = 0});
    builder.AddFolder(std::string("PK\x03\x04/", 5));
    // A name with control bytes is no name a package gives: its part is reported, not written
    // under it; the headers inside the name are still no headers.
    const std::wstring reportedName(storedName.begin(), storedName.end());
    EXPECT_EQ(Recover(builder.Build(directory)),
              (Reported{{L"word\\" + reportedName.substr(5), PartOutcome::kNoData}}));
    const std::map<std::string, std::string> expected{
        {"word/document.xml", "real"},
        {"word/data.bin", std::string(fakePackage.begin(), fakePackage.end())},
        {"word/extra.xml", "extra"}};
    EXPECT_EQ(Tree(), expected);
    // None were recovered: built from the stored copy and the parts written.
    ExpectContentTypesTypeEveryPart();
  }
}

// A name that would make the content types a folder is left out and reported; the content
// types stay the package's own.
TEST_F(RecoveryTest, ContentTypesNeverBecomeAFolder) {
  const std::string types = Big('t', 1500);
  PackageBuilder builder;
  builder.AddStored("[Content_Types].xml/x", "blocks the content types");
  builder.AddDeflated("[Content_Types].xml", types);
  builder.AddDeflated("word/document.xml", "document");
  EXPECT_EQ(Recover(builder.Build()),
            (Reported{{L"[Content_Types].xml\\x", PartOutcome::kFolderBlocked}}));
  // The package's own content types stay a file; being no XML, they are rebuilt.
  ExpectContentTypesTypeEveryPart();
  EXPECT_EQ(Output("word/document.xml"), "document");
}

// A folder stored as an entry without its trailing separator (an empty part named "word") never
// takes the place of the folder the package's parts need, and is passed over quietly; a part
// with content under a folder's name is left out and reported.
TEST_F(RecoveryTest, EntryNamedLikeAFolderGivesWay) {
  PackageBuilder builder;
  builder.AddStored("word", "");
  builder.AddStored("docProps", "not empty");
  builder.AddDeflated("word/document.xml", "document");
  builder.AddDeflated("docProps/app.xml", "app");
  EXPECT_EQ(Recover(builder.Build()), (Reported{{L"docProps", PartOutcome::kFolderBlocked}}));
  EXPECT_EQ(Output("word/document.xml"), "document");
  EXPECT_EQ(Output("docProps/app.xml"), "app");
}

// Empty parts (size 0, not a folder) are recovered, stored or deflated.
TEST_F(RecoveryTest, EmptyPartsAreRecovered) {
  PackageBuilder builder;
  builder.AddStored("customXml/empty.xml", "");
  builder.AddDeflated("word/empty.xml", "");
  builder.AddFolder("word/media/");
  builder.AddDeflated("word/document.xml", "document");
  EXPECT_EQ(Recover(builder.Build(false)), Reported{});
  EXPECT_TRUE(fs::is_regular_file(FileFolder() / "customXml/empty.xml"));
  EXPECT_EQ(Output("customXml/empty.xml"), "");
  EXPECT_EQ(Output("word/empty.xml"), "");
  EXPECT_TRUE(fs::is_directory(FileFolder() / "word"));
  EXPECT_FALSE(Exists("word/media"));
}

// What is not whole is said so: a changed byte in stored data, a cut file, a lost descriptor with
// no other evidence, an unknown method.
// Found by the recovery bench: a damaged name that is no valid UTF-8, on a part that is not
// whole, ended the program with an exception when the tree pass was told about it.
TEST_F(RecoveryTest, DamagedNameOnACutPartIsReportedNotThrown) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "names are not bytes here";
  PackageBuilder builder;
  builder.AddDeflated("word/document.xml", "document");
  builder.Add(
      {.name = "word/numbering.x\xD9\x8A\xFF", .content = testsupport::XmlLikeBytes(30000, 3)});
  const Bytes whole = builder.Build(false);
  const Bytes cut(whole.begin(), whole.end() - 1000);
  const Reported reported = Recover(cut);
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported.begin()->second, PartOutcome::kCutShort);
  EXPECT_EQ(Output("word/document.xml"), "document");
}

// A local header's name bytes overwritten with random bytes (found by the recovery bench, which
// saw such parts saved and claimed whole under the random name).
class DestroyedNameTest : public RecoveryTest {
 protected:
  static constexpr const char* kStyles = "word/styles.xml";

  // A three-part package whose second header's name (word/styles.xml) is overwritten in the
  // local header, in the central directory, or in both.
  Bytes Package(bool withDirectory, std::string_view localName, std::string_view directoryName) {
    PackageBuilder builder;
    builder.AddDeflated("word/document.xml", "document");
    builder.AddDeflated(kStyles, Big('s'));
    builder.Add({.name = "word/settings.xml",
                 .content = ToBytes("settings"),
                 .method = 0,
                 .descriptor = Descriptor::kSigned});
    Bytes bytes = builder.Build(withDirectory);
    secondHeader_ = builder.HeaderOffsets()[1];
    const std::size_t local = secondHeader_ + 30;
    std::copy(localName.begin(), localName.end(), bytes.begin() + static_cast<long>(local));
    if (withDirectory) {
      // The directory's entry for the third part follows the second's name.
      const auto at =
          std::search(bytes.begin() + static_cast<long>(local) + 15, bytes.end(),
                      std::string_view(kStyles).begin(), std::string_view(kStyles).end());
      EXPECT_NE(at, bytes.end());
      std::copy(directoryName.begin(), directoryName.end(), at);
    }
    return bytes;
  }

  std::size_t secondHeader_ = 0;
};

constexpr std::string_view kGarbage = "\x9D\x01\xE8q\xFF\x13\xC3(\x80z\x02\xF0\xAA\x10\x7F";

TEST_F(DestroyedNameTest, IntactDirectoryGivesTheNameBack) {
  ASSERT_EQ(kGarbage.size(), std::string_view(kStyles).size());
  EXPECT_EQ(Recover(Package(true, kGarbage, kStyles)), Reported{});
  EXPECT_EQ(Output(kStyles), Big('s'));
  EXPECT_EQ(Tree().size(), 3u);
}

// A writer streaming with zip64 forced puts 0xFFFFFFFF in the header and zeros in its zip64
// field, the sizes following the data: that header agrees with the directory as well.
TEST_F(DestroyedNameTest, StreamedZip64HeaderTakesTheDirectoryName) {
  PackageBuilder builder;
  builder.AddDeflated("word/document.xml", "document");
  builder.Add({.name = kStyles,
               .content = ToBytes(Big('s')),
               .method = 8,
               .descriptor = Descriptor::kSignedZip64,
               .extra = testsupport::Zip64Extra(0, 0),
               .compressedSizeField = 0xFFFFFFFFu,
               .uncompressedSizeField = 0xFFFFFFFFu});
  builder.AddDeflated("word/settings.xml", "settings");
  Bytes bytes = builder.Build();
  const std::size_t local = builder.HeaderOffsets()[1] + 30;
  std::copy(kGarbage.begin(), kGarbage.end(), bytes.begin() + static_cast<long>(local));
  EXPECT_EQ(Recover(bytes), Reported{});
  EXPECT_EQ(Output(kStyles), Big('s'));
}

TEST_F(DestroyedNameTest, WithoutDirectoryThePartIsReportedNotRecovered) {
  const Reported reported = Recover(Package(false, kGarbage, kStyles));
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported.begin()->second, PartOutcome::kNoData);
  const std::map<std::string, std::string> expected{{"word/document.xml", "document"},
                                                    {"word/settings.xml", "settings"}};
  EXPECT_EQ(Tree(), expected);
}

TEST_F(DestroyedNameTest, DestroyedDirectoryNameLeavesTheHeadersName) {
  EXPECT_EQ(Recover(Package(true, kStyles, kGarbage)), Reported{});
  EXPECT_EQ(Output(kStyles), Big('s'));
  EXPECT_EQ(Tree().size(), 3u);
}

// Bytes that are no UTF-8 (but no control bytes either) lose to a directory name that is.
TEST_F(DestroyedNameTest, DirectoryNameBeatsOneThatIsNoUtf8) {
  EXPECT_EQ(Recover(Package(true, "\xE9\xA0word/s\xFFyles.x", kStyles)), Reported{});
  EXPECT_EQ(Output(kStyles), Big('s'));
  EXPECT_EQ(Tree().size(), 3u);
}

// Found by the recovery bench: one changed byte in a name, no directory to tell. The part is
// kept under the name it has, but not claimed whole.
TEST_F(DestroyedNameTest, OddNameWithoutDirectoryIsNotClaimedWhole) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "names are not bytes here";
  const std::string odd = "word/st\xB8les.xml";
  const Reported reported = Recover(Package(false, odd, kStyles));
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported.begin()->second, PartOutcome::kDamaged);
  EXPECT_FALSE(Exists(kStyles));
  EXPECT_EQ(Tree().size(), 3u);
}

// Two names that could both be the original: neither is given to the data.
TEST_F(DestroyedNameTest, TwoPlausibleNamesGiveNeither) {
  const Reported reported = Recover(Package(true, "word/stylez.xml", kStyles));
  EXPECT_EQ(reported.size(), 1u);
  EXPECT_FALSE(Exists(kStyles));
  EXPECT_FALSE(Exists("word/stylez.xml"));
  EXPECT_EQ(Tree().size(), 2u);
}

// The directory's name is taken only for a header that agrees with the directory's entry.
TEST_F(DestroyedNameTest, DirectoryNameNeedsAnAgreeingHeader) {
  Bytes bytes = Package(true, kGarbage, kStyles);
  bytes[secondHeader_ + 14] ^= 0x01;  // the header's CRC-32
  EXPECT_EQ(Recover(bytes).size(), 1u);
  EXPECT_FALSE(Exists(kStyles));
}

TEST_F(RecoveryTest, PartsThatAreNotWholeAreReported) {
  const Bytes xml = testsupport::XmlLikeBytes(30000, 7);
  Bytes flipped = ToBytes("stored content that is damaged");
  PackageBuilder builder;
  builder.AddDeflated("word/document.xml", "document");
  builder.Add({.name = "word/flipped.xml",
               .content = ToBytes("stored content that is damaged"),
               .method = 0,
               .data = [&] {
                 flipped[3] ^= 0x20;
                 return flipped;
               }()});
  builder.Add({.name = "word/lzma.bin", .content = ToBytes("lzma"), .method = 14});
  builder.Add({.name = "word/cut.xml", .content = xml});
  const Bytes whole = builder.Build(false);
  const Bytes cut(whole.begin(), whole.end() - 1000);
  EXPECT_EQ(Recover(cut), (Reported{{L"word\\flipped.xml", PartOutcome::kDamaged},
                                    {L"word\\lzma.bin", PartOutcome::kUnsupportedMethod},
                                    {L"word\\cut.xml", PartOutcome::kCutShort}}));
  EXPECT_EQ(Output("word/document.xml"), "document");
  EXPECT_EQ(Output("word/flipped.xml"), std::string(flipped.begin(), flipped.end()));
  // Everything the cut stream still decodes is kept, then closed so that it parses.
  const auto entry = std::find_if(list_.begin(), list_.end(), [](const auto& part) {
    return part.partPath == L"word\\cut.xml";
  });
  ASSERT_NE(entry, list_.end());
  const Bytes prefix = testsupport::InflatedPrefix(
      Bytes(cut.begin() + static_cast<std::ptrdiff_t>(entry->dataOffset), cut.end()));
  ASSERT_FALSE(prefix.empty());
  ASSERT_LT(prefix.size(), xml.size());
  ASSERT_TRUE(std::equal(prefix.begin(), prefix.end(), xml.begin()));
  const std::string closed = Output("word/cut.xml");
  EXPECT_EQ(closed, engine::RepairCutXml(std::string(prefix.begin(), prefix.end())));
  EXPECT_TRUE(engine::XmlParses(closed));
}

// The central directory, when intact, is a second opinion where the local header has nothing:
// a descriptor lost to damage.
TEST_F(RecoveryTest, CentralDirectoryGivesWhatTheLocalHeaderLacks) {
  const Bytes content = testsupport::NoiseBytes(3000, 2);
  PackageBuilder builder;
  builder.Add({.name = "word/vbaProject.bin",
               .content = content,
               .method = 0,
               .descriptor = Descriptor::kSigned});
  builder.AddDeflated("word/document.xml", "document");
  Bytes package = builder.Build(true);
  // Destroy the descriptor's signature and sizes: only the directory still knows them.
  const std::size_t descriptor = builder.HeaderOffsets()[0] + 30 + 19 + content.size();
  std::fill(package.begin() + static_cast<std::ptrdiff_t>(descriptor),
            package.begin() + static_cast<std::ptrdiff_t>(descriptor + 16), 0x00);
  EXPECT_EQ(Recover(package), Reported{});
  EXPECT_EQ(testsupport::ReadFileBytes(FileFolder() / "word/vbaProject.bin"), content);
  EXPECT_EQ(Output("word/document.xml"), "document");
}

// A write that fails (a full disk, here a file size limit) is never taken for a written part.
TEST_F(RecoveryTest, FailedWriteIsReportedNeverWhole) {
  PackageBuilder builder;
  builder.AddDeflated("word/document.xml", Big('d', 100000));
  builder.AddDeflated("word/small.xml", "small");
  const Bytes package = builder.Build();
  const fs::path path = folder_.Path() / "package.dotm";
  testsupport::WriteFileBytes(path, package);
  std::atomic<int> running{1};
  const engine::JobThreadParam param{.pView = &view_, .pJobRunning = &running};
  engine::ScanList list;
  ASSERT_TRUE(engine::ScanPackage(param, path.string(), list));

  engine::ExtractionReport report;
  {
    const platform::testing::FileSizeLimit limit(50000);
    if (!limit.Active()) GTEST_SKIP() << "no limit on file sizes here";
    report = engine::ExtractParts(view_, FileFolder(), path.string(), list);
  }

  ASSERT_EQ(report.notWhole.size(), 1u);
  EXPECT_EQ(report.notWhole[0].partPath, L"word\\document.xml");
  EXPECT_EQ(report.notWhole[0].outcome, PartOutcome::kWriteFailed);
  EXPECT_FALSE(Exists("word/document.xml"));
  EXPECT_EQ(Output("word/small.xml"), "small");
  EXPECT_EQ(std::distance(fs::directory_iterator(FileFolder() / "word"), fs::directory_iterator{}),
            1);
}

}  // namespace
