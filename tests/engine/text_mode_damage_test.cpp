// Packages copied in text mode, built byte by byte: every LF became CR LF (in headers and data
// alike), or, as converters that leave an existing CR LF alone do, every LF that had no CR.
#include "engine/text_mode_damage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include "engine/package_scanner.h"
#include "engine/part_extraction.h"
#include "testkit/extraction_run.h"
#include "testkit/package_builder.h"
#include "testkit/recording_view.h"
#include "testkit/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::PackageBuilder;
using testsupport::ToBytes;

Bytes EveryLf(const Bytes& bytes) {
  Bytes out;
  for (const std::uint8_t byte : bytes) {
    if (byte == 0x0A) out.push_back(0x0D);
    out.push_back(byte);
  }
  return out;
}

Bytes LoneLfOnly(const Bytes& bytes) {
  Bytes out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == 0x0A && (i == 0 || bytes[i - 1] != 0x0D)) out.push_back(0x0D);
    out.push_back(bytes[i]);
  }
  return out;
}

// A binary part with LF bytes and one CR LF pair of its own.
Bytes BinaryWithCrLf(std::size_t pairs = 1) {
  Bytes bytes = testsupport::NoiseBytes(900, 4);
  for (std::size_t i = 0; i < bytes.size(); i += 37)
    bytes[i] = 0x0A;
  for (std::size_t i = 0; i < pairs; ++i) {
    bytes[100 + 20 * i] = 0x0D;
    bytes[101 + 20 * i] = 0x0A;
  }
  return bytes;
}

std::vector<std::pair<std::string, Bytes>> Parts(std::size_t pairs = 1) {
  std::string xml = "<?xml version=\"1.0\"?>\n<w:document xmlns:w=\"urn:w\">\n";
  for (int i = 0; i < 300; ++i)
    xml += "<w:p>" + std::to_string(i * 7919) + "</w:p>\n";
  xml += "</w:document>";
  return {{"word/document.xml", ToBytes(xml)},
          {"word/vbaProject.bin", BinaryWithCrLf(pairs)},
          {"docProps/ten.txt", ToBytes("ten bytes!")},  // its size field holds an LF byte
          {"word/media/image1.bin", testsupport::NoiseBytes(5000, 7)}};
}

Bytes Package(const std::vector<std::pair<std::string, Bytes>>& parts) {
  PackageBuilder builder;
  builder.Add({.name = parts[0].first, .content = parts[0].second, .method = 8});
  builder.Add({.name = parts[1].first, .content = parts[1].second, .method = 0});
  builder.Add({.name = parts[2].first, .content = parts[2].second, .method = 0});
  builder.Add({.name = parts[3].first, .content = parts[3].second, .method = 8});
  return builder.Build();
}

class TextModeTest : public ::testing::Test {
 protected:
  fs::path Write(const Bytes& bytes) {
    const fs::path path = folder_.Path() / "package.dotm";
    testsupport::WriteFileBytes(path, bytes);
    return path;
  }

  // Scans and extracts the restored copy; the parts reported not whole.
  std::map<std::wstring, engine::PartOutcome> RecoverFrom(const fs::path& copy) {
    const fs::path files = folder_.Path() / "files";
    fs::create_directory(files);
    const auto run = testsupport::ScanAndExtract(view_, "package.dotm", files, copy);
    EXPECT_TRUE(run.scanned);
    return testsupport::NotWholeByName(run.report);
  }

  Bytes Output(const std::string& name) const {
    return testsupport::ReadFileBytes(folder_.Path() / "files" / name);
  }

  testkit::TempFolder folder_{"engine-test-"};
  testsupport::RecordingView view_;
};

TEST_F(TextModeTest, EveryLfMadeCrLfIsUndoneAndEveryPartComesBackWhole) {
  const auto parts = Parts();
  const fs::path path = Write(EveryLf(Package(parts)));
  const auto restored = engine::RestoreTextModeCopy(path, folder_.Path());
  ASSERT_TRUE(restored.has_value());
  EXPECT_EQ(restored->choicesTaken, 0u);
  EXPECT_EQ(testsupport::ReadFileBytes(restored->copy), Package(parts));
  EXPECT_TRUE(RecoverFrom(restored->copy).empty());
  for (const auto& [name, content] : parts)
    EXPECT_EQ(Output(name), content) << name;
}

TEST_F(TextModeTest, ACrLfThatWasThereBeforeIsChosenByTheCrc) {
  const auto parts = Parts();
  const fs::path path = Write(LoneLfOnly(Package(parts)));
  const auto restored = engine::RestoreTextModeCopy(path, folder_.Path());
  ASSERT_TRUE(restored.has_value());
  EXPECT_EQ(restored->choicesTaken, 1u);
  EXPECT_GT(restored->attempts, 0u);
  EXPECT_TRUE(RecoverFrom(restored->copy).empty());
  for (const auto& [name, content] : parts)
    EXPECT_EQ(Output(name), content) << name;
}

TEST_F(TextModeTest, TheChoiceSearchStopsAtItsBudget) {
  // Six pairs of its own among the part's LFs: far more candidates than the budget allows.
  const auto parts = Parts(6);
  const fs::path path = Write(LoneLfOnly(Package(parts)));
  const auto restored = engine::RestoreTextModeCopy(path, folder_.Path(), 10);
  ASSERT_TRUE(restored.has_value());
  EXPECT_EQ(restored->attempts, 10u);
  EXPECT_EQ(restored->choicesTaken, 0u);
  // The other parts still come back whole; that one is said to be damaged.
  const auto reported = RecoverFrom(restored->copy);
  EXPECT_EQ(reported.size(), 1u);
  EXPECT_NE(reported.find(L"word\\vbaProject.bin"), reported.end());
  EXPECT_EQ(Output("word/document.xml"), parts[0].second);
}

TEST_F(TextModeTest, APackageWhoseLfsAllFollowACrOfTheirOwnIsLeftAsItIs) {
  // Text parts with CR LF line ends, stored: no LF stands alone, yet nothing was changed.
  PackageBuilder builder;
  builder.AddStored("word/document.xml", "<?xml version=\"1.0\"?>\r\n<a>\r\n</a>");
  builder.AddStored("docProps/app.xml", "<?xml version=\"1.0\"?>\r\n<b/>");
  const Bytes package = builder.Build();
  bool lone = false;
  for (std::size_t i = 0; i < package.size(); ++i) {
    lone = lone || (package[i] == 0x0A && (i == 0 || package[i - 1] != 0x0D));
  }
  ASSERT_FALSE(lone);
  EXPECT_FALSE(engine::RestoreTextModeCopy(Write(package), folder_.Path()).has_value());
  // No copy is left behind.
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& item : fs::directory_iterator(folder_.Path()))
    ++files;
  EXPECT_EQ(files, 1u);
}

TEST_F(TextModeTest, CrsLostFromAStoredPartArePutBackAsItsSizeAndCrcTell) {
  // Every CR LF made LF: the stored part lost the CR of its one pair; its stated size says one
  // byte is missing, its CRC-32 says before which LF.
  PackageBuilder builder;
  const Bytes binary = BinaryWithCrLf();
  builder.AddDeflated("word/document.xml", "<w:document xmlns:w=\"urn:w\"/>");
  builder.Add({.name = "word/vbaProject.bin", .content = binary, .method = 0});
  builder.AddDeflated("docProps/app.xml", "<Properties/>");
  const Bytes package = builder.Build();
  Bytes damaged;
  for (std::size_t i = 0; i < package.size(); ++i) {
    if (!(package[i] == 0x0D && i + 1 < package.size() && package[i + 1] == 0x0A)) {
      damaged.push_back(package[i]);
    }
  }
  ASSERT_LT(damaged.size(), package.size());
  const auto restored = engine::RestoreTextModeCopy(Write(damaged), folder_.Path());
  ASSERT_TRUE(restored.has_value());
  EXPECT_EQ(restored->choicesTaken, 1u);
  EXPECT_TRUE(RecoverFrom(restored->copy).empty());
  EXPECT_EQ(Output("word/vbaProject.bin"), binary);
}

TEST_F(TextModeTest, AnIntactPackageIsNotTouched) {
  EXPECT_FALSE(engine::RestoreTextModeCopy(Write(Package(Parts())), folder_.Path()).has_value());
}

}  // namespace
