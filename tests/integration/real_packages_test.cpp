// Real packages written by a word processor, intact and damaged, through the whole engine:
// scan and extract, then repair and save, with the saved packages checked by our own reader,
// by unzip and by Python's zipfile.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/content_types.h"
#include "engine/content_types_builder.h"
#include "engine/package_scanner.h"
#include "engine/package_self_check.h"
#include "engine/part_extraction.h"
#include "engine/relationships_repair.h"
#include "engine/repair_job.h"
#include "engine/save_job.h"
#include "engine/working_folder.h"
#include "engine/xml_repair.h"
#include "testkit/package_builder.h"
#include "testkit/recording_view.h"
#include "testkit/temp_folder.h"
#include "testkit/zip_parse.h"
#include "zip/little_endian.h"

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

// What the tests need of each member of an intact package.
struct Member {
  Bytes content;
  std::size_t dataOffset = 0;
  std::size_t compressedSize = 0;
  std::uint16_t flags = 0;
};
using Members = std::map<std::string, Member>;

// Reads an intact package with the independent reader; nothing when it is not one.
std::optional<Members> ReadMembers(const Bytes& package) {
  std::string error;
  const auto archive = zip_test::ParseArchive(package, &error);
  if (!archive) return std::nullopt;
  Members members;
  for (const auto& entry : archive->entries) {
    members[entry.name] = {
        Bytes(entry.content.begin(), entry.content.end()),
        entry.localHeaderOffset + 30 + entry.local.name.size() + entry.local.extra.size(),
        entry.compressedSize, entry.flags};
  }
  return members;
}

// Where a member's data ends, with its data descriptor when it has one: a word processor writes
// its sizes there, so a part is only recoverable once the descriptor is complete too.
std::size_t EndOfMember(const Member& member) {
  const std::size_t descriptor = (member.flags & 0x0008) ? 16 : 0;
  return member.dataOffset + member.compressedSize + descriptor;
}

// Relationship parts lose the relationships to parts that did not come back, and the content
// types gain what the recovered parts need; they are checked by what they say.
bool RewrittenByRepair(const std::string& name) {
  return name.ends_with(".rels") || name == "[Content_Types].xml";
}

std::string Text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// A part a relationship may lead to: recovered, and when it is XML, readable. What is left of a
// part cut before its root element cannot be opened, so the relationships to it go.
bool Usable(const fs::path& folder, const std::string& part) {
  const fs::path file = folder / part;
  if (!fs::exists(file)) return false;
  const std::string extension = file.extension().string();
  if (extension != ".xml" && extension != ".rels" && extension != ".vml") return true;
  return engine::XmlParses(Text(ReadFileBytes(file)));
}

// A rewritten part holds what the original said about the parts that are there.
template <typename Present>
void ExpectSaysWhatSurvived(const std::string& name, const Bytes& original, const Bytes& repaired,
                            Present&& present) {
  if (name == "[Content_Types].xml") {
    const auto map = engine::ParseContentTypes(Text(repaired));
    ASSERT_TRUE(map.has_value()) << name;
    const auto own = engine::ParseContentTypes(Text(original));
    ASSERT_TRUE(own.has_value());
    for (const auto& entry : own->overrides) {
      if (present(entry.first.substr(1))) {
        EXPECT_EQ(map->TypeOf(entry.first.substr(1)), entry.second) << entry.first;
      }
    }
    return;
  }
  const auto kept = engine::ParseRelationships(Text(repaired));
  const auto own = engine::ParseRelationships(Text(original));
  ASSERT_TRUE(kept.has_value()) << name;
  ASSERT_TRUE(own.has_value());
  std::size_t expected = 0;
  for (const auto& relationship : *own) {
    const auto target = engine::ResolveTarget(name, relationship.target);
    if (!relationship.external && !(target && present(*target))) continue;
    ++expected;
    bool found = false;
    for (const auto& k : *kept)
      found = found || (k.id == relationship.id && k.target == relationship.target);
    EXPECT_TRUE(found) << name << " " << relationship.id;
  }
  EXPECT_EQ(kept->size(), expected) << name;
}

bool Logged(const std::vector<testsupport::LogLine>& log, const std::string& text) {
  for (const auto& line : log) {
    if (line.text == text) return true;
  }
  return false;
}

class RealPackages : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "tmp");
    fs::create_directories(root_ / "in");
    fs::create_directories(root_ / "out");
    original_ = ReadFileBytes(fs::path(TEST_DATA_DIR) / (std::string(GetParam()) + ".dotm"));
    auto members = ReadMembers(original_);
    ASSERT_TRUE(members.has_value()) << "the sample package must be intact";
    members_ = std::move(*members);
  }

  // Scans and extracts package bytes; returns the file folder.
  fs::path Extract(const Bytes& package, const std::string& name) {
    const fs::path path = root_ / "in" / name;
    WriteFileBytes(path, package);
    testsupport::RecordingView view;
    std::atomic<int> running{1};
    engine::JobThreadParam param{&view, &running, root_ / "work"};
    engine::ScanList parts;
    EXPECT_TRUE(engine::ScanPackage(param, path.string(), parts));
    const fs::path folder = root_ / "work" / (name + "0");
    fs::create_directories(folder);
    engine::ExtractParts(view, folder, path.string(), parts);
    return folder;
  }

  // Expects every member whose data lies wholly within the first `available` bytes of the
  // original to be extracted byte for byte. Returns how many were checked.
  int ExpectCompleteMembers(const fs::path& folder, std::size_t available, std::size_t shift = 0) {
    int checked = 0;
    for (const auto& [name, member] : members_) {
      if (shift + EndOfMember(member) > available) continue;
      const fs::path file = folder / name;
      EXPECT_TRUE(fs::exists(file)) << name;
      if (RewrittenByRepair(name)) {
        ExpectSaysWhatSurvived(name, member.content, ReadFileBytes(file),
                               [&](const std::string& part) { return Usable(folder, part); });
        ++checked;
        continue;
      }
      EXPECT_EQ(ReadFileBytes(file), member.content) << name;
      ++checked;
    }
    return checked;
  }

  // A folder per test; the jobs' temporary files go to its "tmp" while the test runs.
  testkit::TempFolder folder_{"real-packages-"};
  const fs::path& root_ = folder_.Path();
  testkit::TempFolderOverride tempVariable_{root_ / "tmp"};
  Bytes original_;
  Members members_;
};

std::size_t CentralDirectoryOffset(const Bytes& package) {
  std::size_t end = package.size() - 22;
  while (!(package[end] == 'P' && package[end + 1] == 'K' && package[end + 2] == 5 &&
           package[end + 3] == 6)) {
    --end;
  }
  zip::LittleEndianReader record(std::span<const std::uint8_t>(package).subspan(end));
  record.Skip(16);
  return record.Get32();
}

int RunTool(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

bool HaveTool(const std::string& name) {
  return RunTool("command -v " + name) == 0;
}

TEST_P(RealPackages, IntactPackageYieldsEveryPartByteForByte) {
  const fs::path folder = Extract(original_, "intact.dotm");
  EXPECT_EQ(ExpectCompleteMembers(folder, original_.size()), static_cast<int>(members_.size()));
}

TEST_P(RealPackages, WithoutCentralDirectoryYieldsTheSameParts) {
  const Bytes cut(original_.begin(), original_.begin() + static_cast<std::ptrdiff_t>(
                                                             CentralDirectoryOffset(original_)));
  const fs::path folder = Extract(cut, "nodirectory.dotm");
  EXPECT_EQ(ExpectCompleteMembers(folder, cut.size()), static_cast<int>(members_.size()));
}

TEST_P(RealPackages, JunkInFrontYieldsTheSameParts) {
  for (std::size_t junk = 1; junk <= 5; ++junk) {
    Bytes damaged(junk, 'J');
    damaged.insert(damaged.end(), original_.begin(), original_.end());
    const fs::path folder = Extract(damaged, "junk" + std::to_string(junk) + ".dotm");
    EXPECT_EQ(ExpectCompleteMembers(folder, damaged.size(), junk),
              static_cast<int>(members_.size()))
        << junk << " junk bytes";
  }
}

TEST_P(RealPackages, TruncatedPackageYieldsEveryCompletePart) {
  constexpr int kCuts = 12;
  for (int step = 1; step < kCuts; ++step) {
    const std::size_t length = original_.size() * static_cast<std::size_t>(step) / kCuts;
    const Bytes cut(original_.begin(), original_.begin() + static_cast<std::ptrdiff_t>(length));
    const fs::path folder = Extract(cut, "cut" + std::to_string(step) + ".dotm");
    ExpectCompleteMembers(folder, length);
    fs::remove_all(folder);
  }
}

TEST_P(RealPackages, RepairedAndSavedPackageHoldsEveryRecoveredPart) {
  struct Variant {
    std::string name;
    Bytes bytes;
  };
  const std::size_t directory = CentralDirectoryOffset(original_);
  Bytes junk = testsupport::ToBytes("XYZ");
  junk.insert(junk.end(), original_.begin(),
              original_.begin() + static_cast<std::ptrdiff_t>(directory));
  const std::vector<Variant> variants{
      {"intact.dotm", original_},
      {"nodirectory.dotm",
       Bytes(original_.begin(), original_.begin() + static_cast<std::ptrdiff_t>(directory))},
      {"junk.dotm", junk},
      {"truncated.dotm", Bytes(original_.begin(),
                               original_.begin() + static_cast<std::ptrdiff_t>(directory * 2 / 3))},
  };
  std::vector<std::string> rows;
  for (const auto& variant : variants) {
    WriteFileBytes(root_ / "in" / variant.name, variant.bytes);
    rows.push_back((root_ / "in" / variant.name).string());
  }
  testsupport::RecordingView view(rows);
  view.destination = (root_ / "out").string();
  view.extractMedia = false;
  std::atomic<int> running{0};
  engine::JobThreadParam param{&view, &running, engine::GetWorkingFolder()};
  ASSERT_FALSE(param.workingFolder.empty());
  engine::PrepareRepairJob(param);
  engine::RepairWorker(&param);
  const auto repairLog = view.Log();  // the save job starts a log of its own
  ASSERT_TRUE(engine::PrepareSaveJob(param));
  engine::SaveWorker(&param);

  // Of the intact package nothing is said to be cut, lost or rebuilt.
  for (const auto& line : repairLog) {
    EXPECT_FALSE(line.text.starts_with(rows[0] + " part ")) << line.text;
  }
  for (std::size_t v = 0; v < variants.size(); ++v) {
    SCOPED_TRACE(variants[v].name);
    const fs::path saved = root_ / "out" / ("ZARVEL_" + variants[v].name);
    ASSERT_TRUE(fs::exists(saved));
    const auto savedMembers = ReadMembers(ReadFileBytes(saved));
    ASSERT_TRUE(savedMembers.has_value());
    const std::size_t shift = variants[v].name == "junk.dotm" ? 3 : 0;
    for (const auto& [name, member] : members_) {
      const bool complete =
          shift + member.dataOffset + member.compressedSize <= variants[v].bytes.size();
      if (!complete) continue;
      const auto found = savedMembers->find(name);
      ASSERT_NE(found, savedMembers->end()) << name;
      // A part that came out whole but was saved otherwise was written by the repair: the log
      // says so. The intact package has no such part.
      if (found->second.content != member.content) {
        EXPECT_NE(v, 0u) << name << " of the intact package was rewritten";
        EXPECT_TRUE(Logged(repairLog, rows[v] + " part " + name + " is rebuilt....\r\n")) << name;
      }
      if (RewrittenByRepair(name)) {
        ExpectSaysWhatSurvived(
            name, member.content, found->second.content,
            [&](const std::string& part) { return savedMembers->contains(part); });
        continue;
      }
      EXPECT_EQ(found->second.content, member.content) << name;
    }
    EXPECT_TRUE(savedMembers->count("[Content_Types].xml"));
    const auto check = engine::CheckSavedPackage(saved);
    EXPECT_TRUE(check.passed) << check.reason;
    if (HaveTool("unzip")) {
      EXPECT_EQ(RunTool("unzip -tq '" + saved.string() + "'"), 0);
    }
    if (HaveTool("python3")) {
      EXPECT_EQ(RunTool("python3 -c \"import sys, zipfile; "
                        "sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)\" '" +
                        saved.string() + "'"),
                0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, RealPackages, ::testing::Values("report", "letter", "memo"));

TEST(DamagedSamples, CommittedDamagedSamplesAreRepaired) {
  const testkit::TempFolder folder("damaged-samples-");
  const fs::path& root = folder.Path();
  fs::create_directories(root / "tmp");
  fs::create_directories(root / "out");
  const testkit::TempFolderOverride tempVariable(root / "tmp");
  testsupport::RecordingView view({std::string(TEST_DATA_DIR) + "/report-damaged.dotm",
                                   std::string(TEST_DATA_DIR) + "/letter-damaged.dotm"});
  view.destination = (root / "out").string();
  std::atomic<int> running{0};
  engine::JobThreadParam param{&view, &running, engine::GetWorkingFolder()};
  engine::PrepareRepairJob(param);
  engine::RepairWorker(&param);
  EXPECT_EQ(view.rows[0].data, 1);
  EXPECT_EQ(view.rows[1].data, 1);
  ASSERT_TRUE(engine::PrepareSaveJob(param));
  engine::SaveWorker(&param);
  for (const char* name : {"report-damaged.dotm", "letter-damaged.dotm"}) {
    const auto saved = ReadMembers(ReadFileBytes(root / "out" / ("ZARVEL_" + std::string(name))));
    ASSERT_TRUE(saved.has_value()) << name;
    EXPECT_TRUE(saved->count("word/document.xml")) << name;
  }
  EXPECT_TRUE(fs::exists(root / "out" / "report-damaged.dotm_MediaContent" / "image1.png"));
}

}  // namespace
