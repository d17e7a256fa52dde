#include "tests/jobs/job_test_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "engine/package_scanner.h"
#include "engine/repair_job.h"
#include "engine/save_job.h"
#include "engine/working_folder.h"
#include "platform/text.h"

namespace jobstest {

void JobTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "jobs_test_XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  root_ = pattern;
  if (const char* old = std::getenv("TMPDIR")) {
    hadTmpDir_ = true;
    oldTmpDir_ = old;
  }
  ::setenv("TMPDIR", root_.c_str(), 1);
}

void JobTest::TearDown() {
  if (hadTmpDir_) {
    ::setenv("TMPDIR", oldTmpDir_.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  std::error_code ec;
  fs::remove_all(root_, ec);
}

fs::path JobTest::WriteFile(const fs::path& path, const Bytes& bytes) {
  const fs::path full = root_ / path;
  fs::create_directories(full.parent_path());
  testsupport::WriteFileBytes(full, bytes);
  return full;
}

void JobTest::FillFileFolder(const fs::path& fileFolder) {
  for (const auto& [name, content] : testsupport::SampleTemplateParts())
    WriteFile(fileFolder / name, content);
}

engine::JobThreadParam JobTest::ParamFor(RecordingView& view) {
  return {.pView = &view, .pJobRunning = &running_, .workingFolder = engine::GetWorkingFolder()};
}

void JobTest::RunRepair(RecordingView& view) {
  const engine::JobThreadParam param = ParamFor(view);
  engine::PrepareRepairJob(param);
  std::thread worker([&param] { engine::RepairWorker(&param); });
  worker.join();
}

void JobTest::RunSave(RecordingView& view, int* result) {
  const engine::JobThreadParam param = ParamFor(view);
  ASSERT_TRUE(engine::PrepareSaveJob(param));
  int value = -1;
  std::thread worker([&param, &value] { value = engine::SaveWorker(&param); });
  worker.join();
  if (result) *result = value;
}

std::vector<LogLine> RepairedLines(const std::string& p) {
  return {{p + " file is open....\r\n", kBlack},
          {p + " file is extracted....\r\n", kBlack},
          {p + " file is closed....\r\n", kBlack},
          {p + " preview of file is available....\r\n", kBlack},
          {p + "  Repaired....\r\n", kGreen},
          {kStars + "\r\n", kBlack}};
}

std::vector<LogLine> RepairFailedLines(const std::string& p) {
  return {{p + " file is open....\r\n", kBlack},
          {p + " file is extracted....\r\n", kBlack},
          {p + " file is closed....\r\n", kBlack},
          {p + " extraction of file failed....\r\n", kBlack}};
}

std::vector<LogLine> RepairStoppedLines(const std::string& p) {
  return {{p + " file is not extracting as process has been stop by the user.... \r\n", kBlack},
          {p + " not Repaired....\r\n", kRed},
          {kStars + "\r\n", kBlack}};
}

std::vector<LogLine> RepairEndLines() {
  return {{"Repairing process completed....\r\n", kBlack}, {kUnderscores + "\r\n\r\n", kBlack}};
}

std::vector<LogLine> SaveEndLines() {
  return {{"Saving processing completed....\r\n", kBlack}, {kUnderscores + "\r\n\r\n", kBlack}};
}

std::vector<LogLine> Concat(std::initializer_list<std::vector<LogLine>> parts) {
  std::vector<LogLine> all;
  for (const auto& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<std::string> PartNamesOf(const fs::path& package) {
  RecordingView view;
  std::atomic<int> running{1};
  engine::ScanList scanList;
  const engine::JobThreadParam param{.pView = &view, .pJobRunning = &running};
  engine::ScanPackage(param, package.string(), scanList);
  std::vector<std::string> names;
  for (const auto& entry : scanList)
    names.push_back(platform::Utf8FromWide(entry.partPath));
  return names;
}

std::string ReadText(const fs::path& path) {
  const Bytes bytes = testsupport::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> EntryNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace jobstest
