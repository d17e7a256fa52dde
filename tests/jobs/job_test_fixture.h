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
  // Writes bytes to Root()/relative (folders made as needed) and returns the path.
  fs::path WriteFile(const fs::path& relative, const Bytes& bytes);
  std::string WritePackage(const fs::path& relative, const Bytes& bytes);
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
std::vector<LogLine> RepairStoppedLines(const std::string& package);
std::vector<LogLine> RepairEndLines();
std::vector<LogLine> SaveEndLines();
std::vector<LogLine> Concat(std::initializer_list<std::vector<LogLine>> parts);

// Names of the entries of a saved package, read back with the engine's own scanner.
std::vector<std::string> PartNamesOf(const fs::path& package);

}  // namespace jobstest
