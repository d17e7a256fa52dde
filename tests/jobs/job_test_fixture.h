// A per-test temporary folder that TMPDIR points at, and helpers to run the jobs the way the
// desktop program does: preparation on the calling thread, the worker on a thread of its own.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/job_param.h"
#include "tests/support/package_builder.h"
#include "tests/support/recording_view.h"

namespace jobstest {

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::LogLine;
using testsupport::RecordingView;

inline constexpr std::uint32_t kBlack = 0x000000;
inline constexpr std::uint32_t kGreen = 0x009900;
inline constexpr std::uint32_t kRed = 0x0000FF;
inline const std::string kStars(85, '*');
inline const std::string kUnderscores(64, '_');

class JobTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  const fs::path& Root() const { return root_; }
  // Writes bytes to Root()/path (an absolute path is taken as it is), folders made as needed.
  fs::path WriteFile(const fs::path& path, const Bytes& bytes);
  fs::path WriteFile(const fs::path& path, std::string_view text) {
    return WriteFile(path, testsupport::ToBytes(text));
  }
  // A file folder filled as the repair job would leave it: the sample template's parts.
  void FillFileFolder(const fs::path& fileFolder);

  engine::JobThreadParam ParamFor(RecordingView& view);
  void RunRepair(RecordingView& view);
  void RunSave(RecordingView& view, int* result = nullptr);

  std::atomic<int> running_{0};

 private:
  fs::path root_;
  std::string oldTmpDir_;
  bool hadTmpDir_ = false;
};

// Expected log fragments, with the product's exact texts.
std::vector<LogLine> RepairedLines(const std::string& package);
std::vector<LogLine> RepairFailedLines(const std::string& package);
std::vector<LogLine> RepairStoppedLines(const std::string& package);
std::vector<LogLine> RepairEndLines();
std::vector<LogLine> SaveEndLines();
std::vector<LogLine> Concat(std::initializer_list<std::vector<LogLine>> parts);

// Names of the entries of a saved package, read back with the engine's own scanner.
std::vector<std::string> PartNamesOf(const fs::path& package);
// A file's content as text ("" when missing), and a folder's entry names, sorted.
std::string ReadText(const fs::path& path);
std::vector<std::string> EntryNames(const fs::path& folder);

}  // namespace jobstest
