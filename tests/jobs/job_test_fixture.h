// A per-test temporary folder that TMPDIR points at, and helpers to run the jobs the way the
// desktop program does: preparation on the calling thread, the worker on a thread of its own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/job_param.h"
#include "engine/package_scanner.h"
#include "engine/repair_job.h"
#include "engine/save_job.h"
#include "engine/working_folder.h"
#include "platform/text.h"
#include "testkit/package_builder.h"
#include "testkit/recording_view.h"
#include "testkit/temp_folder.h"

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
  const fs::path& Root() const { return root_.Path(); }
  // Writes bytes to Root()/path (an absolute path is taken as it is), folders made as needed.
  fs::path WriteFile(const fs::path& path, const Bytes& bytes) {
    const fs::path full = Root() / path;
    fs::create_directories(full.parent_path());
    testsupport::WriteFileBytes(full, bytes);
    return full;
  }
  fs::path WriteFile(const fs::path& path, std::string_view text) {
    return WriteFile(path, testsupport::ToBytes(text));
  }
  static fs::path FileFolder(const std::string& package, int index) {
    return engine::FileFolderFor(engine::GetWorkingFolder(), package, index);
  }
  // A file folder filled as the repair job would leave it: the sample template's parts.
  void FillFileFolder(const fs::path& fileFolder) {
    for (const auto& [name, content] : testsupport::SampleTemplateParts())
      WriteFile(fileFolder / name, content);
  }

  engine::JobThreadParam ParamFor(RecordingView& view) {
    return {.pView = &view, .pJobRunning = &running_, .workingFolder = engine::GetWorkingFolder()};
  }
  void RunRepair(RecordingView& view) {
    const engine::JobThreadParam param = ParamFor(view);
    engine::PrepareRepairJob(param);
    std::thread worker([&param] { engine::RepairWorker(&param); });
    worker.join();
  }
  void RunSave(RecordingView& view, int* result = nullptr) {
    const engine::JobThreadParam param = ParamFor(view);
    ASSERT_TRUE(engine::PrepareSaveJob(param));
    int value = -1;
    std::thread worker([&param, &value] { value = engine::SaveWorker(&param); });
    worker.join();
    if (result) *result = value;
  }

  std::atomic<int> running_{0};

 private:
  // A folder per test that TMPDIR points at while the test runs.
  testkit::TempFolder root_{"jobs_test_"};
  testkit::TempFolderOverride tempVariable_{root_.Path()};
};

// Expected log fragments, with the product's exact texts.
inline std::vector<LogLine> RepairedLines(const std::string& p) {
  return {{p + " file is open....\r\n", kBlack},
          {p + " file is extracted....\r\n", kBlack},
          {p + " file is closed....\r\n", kBlack},
          {p + " preview of file is available....\r\n", kBlack},
          {p + "  Repaired....\r\n", kGreen},
          {kStars + "\r\n", kBlack}};
}
inline std::vector<LogLine> RepairFailedLines(const std::string& p) {
  return {{p + " file is open....\r\n", kBlack},
          {p + " file is extracted....\r\n", kBlack},
          {p + " file is closed....\r\n", kBlack},
          {p + " extraction of file failed....\r\n", kBlack}};
}
inline std::vector<LogLine> RepairStoppedLines(const std::string& p) {
  return {{p + " file is not extracting as process has been stop by the user.... \r\n", kBlack},
          {p + " not Repaired....\r\n", kRed},
          {kStars + "\r\n", kBlack}};
}
inline std::vector<LogLine> EndLines(const std::string& completed) {
  return {{completed + "\r\n", kBlack}, {kUnderscores + "\r\n\r\n", kBlack}};
}
inline std::vector<LogLine> RepairEndLines() {
  return EndLines("Repairing process completed....");
}
inline std::vector<LogLine> SaveEndLines() {
  return EndLines("Saving processing completed....");
}
inline std::vector<LogLine> Concat(std::initializer_list<std::vector<LogLine>> parts) {
  std::vector<LogLine> all;
  for (const auto& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Names of the entries of a saved package, read back with the engine's own scanner, sorted.
inline std::vector<std::string> PartNamesOf(const fs::path& package) {
  RecordingView view;
  std::atomic<int> running{1};
  engine::ScanList scanList;
  const engine::JobThreadParam param{.pView = &view, .pJobRunning = &running};
  engine::ScanPackage(param, package.string(), scanList);
  std::vector<std::string> names;
  for (const auto& entry : scanList)
    names.push_back(platform::Utf8FromWide(entry.partPath));
  std::sort(names.begin(), names.end());
  return names;
}
// The sample template's part names as the scanner reads them back (backslash separated), sorted.
inline std::vector<std::string> SamplePartNames() {
  std::vector<std::string> names;
  for (auto [name, content] : testsupport::SampleTemplateParts()) {
    std::replace(name.begin(), name.end(), '/', '\\');
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}
// A file's content as text ("" when missing), and a folder's entry names, sorted.
inline std::string ReadText(const fs::path& path) {
  const Bytes bytes = testsupport::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}
inline std::vector<std::string> EntryNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace jobstest
