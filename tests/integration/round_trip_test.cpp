// Write, then read back: a folder tree packed by our writer and scanned and extracted by our own
// scanner gives the same tree, names byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <string>

#include "engine/package_scanner.h"
#include "engine/part_extraction.h"
#include "platform/process.h"
#include "platform/text.h"
#include "testkit/package_builder.h"
#include "testkit/recording_view.h"
#include "zip/folder_packer.h"

namespace fs = std::filesystem;
using testsupport::Bytes;

namespace {

// Every file below folder by its relative path, with its bytes.
std::map<std::string, Bytes> ReadTree(const fs::path& folder) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    files[fs::relative(entry.path(), folder).string()] = testsupport::ReadFileBytes(entry.path());
  }
  return files;
}

TEST(RoundTrip, PackedTreeScansBackToTheSameTree) {
  const fs::path root =
      fs::path(::testing::TempDir()) / ("round-trip-" + std::to_string(platform::ProcessId()));
  fs::remove_all(root);
  const fs::path tree = root / "tree";
  fs::create_directories(tree / "word" / "media");
  fs::create_directories(tree / "docProps");
  fs::create_directories(tree / "empty folder");
  // Content types and relationships that say all there is to say, so that the repairs made
  // after extraction leave the tree as it was.
  fs::create_directories(tree / "_rels");
  fs::create_directories(tree / "word" / "_rels");
  testsupport::WriteFileBytes(
      tree / "[Content_Types].xml",
      testsupport::ToBytes(
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
          "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
          "Extension=\"xml\" ContentType=\"application/xml\"/><Default Extension=\"rels\" "
          "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default "
          "Extension=\"png\" ContentType=\"image/png\"/><Default Extension=\"zip\" "
          "ContentType=\"application/zip\"/><Override PartName=\"/word/document.xml\" "
          "ContentType=\"application/vnd.ms-word.template.macroEnabledTemplate.main+xml\"/>"
          "<Override PartName=\"/docProps/core.xml\" "
          "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/></Types>"));
  testsupport::WriteFileBytes(
      tree / "_rels" / ".rels",
      testsupport::ToBytes("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                           "xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                           "relationships\"><Relationship Id=\"rId1\" "
                           "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                           "relationships/officeDocument\" "
                           "Target=\"word/document.xml\"/></Relationships>"));
  testsupport::WriteFileBytes(
      tree / "word" / "_rels" / "document.xml.rels",
      testsupport::ToBytes("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                           "xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                           "relationships\"/>"));
  testsupport::WriteFileBytes(tree / "word" / "document.xml", testsupport::XmlLikeBytes(300000, 2));
  testsupport::WriteFileBytes(tree / "word" / "media" / "image1.png",
                              testsupport::NoiseBytes(70000, 3));
  testsupport::WriteFileBytes(tree / "word" / "embedded.zip", testsupport::NoiseBytes(5000, 4));
  testsupport::WriteFileBytes(tree / "docProps" / "core.xml", testsupport::XmlLikeBytes(700, 5));
  testsupport::WriteFileBytes(tree / "docProps" / "empty.xml", {});
  // A name byte 0xE9 as the scanner reads it: one character U+00E9, UTF-8 on disk.
  testsupport::WriteFileBytes(tree / platform::PathFromWide(L"word/caf\u00e9.xml"),
                              testsupport::XmlLikeBytes(900, 6));

  zip::FolderPacker packer;
  const fs::path package = root / "packed.dotm";
  ASSERT_EQ(packer.PackFolder(tree, package), zip::kZipOk);
  EXPECT_EQ(packer.FailedAdds(), 0u);

  const Bytes bytes = testsupport::ReadFileBytes(package);
  const Bytes rawName = testsupport::ToBytes("word/caf\xE9.xml");
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), rawName.begin(), rawName.end()), bytes.end())
      << "the name is stored as the byte it was read as";

  testsupport::RecordingView view;
  std::atomic<int> running{1};
  const engine::JobThreadParam param{&view, &running, root / "work"};
  engine::ScanList parts;
  ASSERT_TRUE(engine::ScanPackage(param, package.string(), parts));
  const fs::path extracted = root / "extracted";
  fs::create_directories(root / "tmp");
  fs::create_directories(extracted);
  engine::ExtractParts(view, extracted, package.string(), parts);

  // An empty file deflates to a two-byte stream, so it comes back too.
  EXPECT_EQ(ReadTree(extracted), ReadTree(tree));
  fs::remove_all(root);
}

}  // namespace
