// The facts the repair and save jobs hand the view for each row: once per row and job, before
// its result, and saying the same as the result and the log.
#include <gtest/gtest.h>

#include <mutex>

#include "engine/job_texts.h"
#include "engine/repair_report.h"
#include "tests/jobs/job_test_fixture.h"

namespace jobstest {
namespace {

using engine::JobKind;
using engine::RowResult;

class ReportingView : public RecordingView {
 public:
  using RecordingView::RecordingView;

  void RepairReported(int row, const engine::RepairRowReport& report) override {
    std::lock_guard lock(mutex_);
    events.push_back("repair report " + std::to_string(row));
    repairs[row] = report;
  }
  void SaveReported(int row, const engine::SaveRowReport& report) override {
    std::lock_guard lock(mutex_);
    events.push_back("save report " + std::to_string(row));
    saves[row] = report;
  }
  void RowFinished(JobKind job, int row, RowResult result) override {
    RecordingView::RowFinished(job, row, result);
    std::lock_guard lock(mutex_);
    events.push_back(std::string(job == JobKind::kRepair ? "repair" : "save") + " finished " +
                     std::to_string(row));
    results[{job, row}] = result;
  }

  std::vector<std::string> events;
  std::map<int, engine::RepairRowReport> repairs;
  std::map<int, engine::SaveRowReport> saves;
  std::map<std::pair<JobKind, int>, RowResult> results;

 private:
  std::mutex mutex_;
};

class RowReportTest : public JobTest {};

std::string Utf8(const fs::path& path) {
  return platform::Utf8FromPath(path);
}

TEST_F(RowReportTest, EachRowIsReportedOnceBeforeItsResult) {
  const std::string good = Utf8(WriteFile("Good.dotm", testsupport::SampleTemplatePackage()));
  const std::string missing = Utf8(Root() / "Missing.dotm");
  ReportingView view({good, missing});
  view.destination = Utf8(Root());
  view.extractMedia = true;
  RunRepair(view);
  RunSave(view);
  EXPECT_EQ(view.events,
            (std::vector<std::string>{"repair report 0", "repair finished 0", "repair report 1",
                                      "repair finished 1", "save report 0", "save finished 0",
                                      "save report 1", "save finished 1"}));

  const engine::RepairRowReport& repaired = view.repairs[0];
  EXPECT_EQ(repaired.package, good);
  EXPECT_EQ(repaired.result, RowResult::kWhole);
  EXPECT_TRUE(repaired.opened);
  EXPECT_TRUE(repaired.outcomes.empty());
  EXPECT_TRUE(repaired.unfound.empty());
  ASSERT_TRUE(repaired.tree);
  EXPECT_EQ(repaired.tree->contentTypes, engine::ContentTypesOutcome::kKept);
  ASSERT_EQ(repaired.parts.size(), testsupport::SampleTemplateParts().size());
  for (const auto& part : repaired.parts) {
    EXPECT_TRUE(part.kept);
    EXPECT_EQ(part.fate, engine::PartFate::kWhole);
    EXPECT_EQ(part.crc, engine::CrcCheck::kMatch);
    ASSERT_TRUE(part.decoded);
    EXPECT_EQ(part.decoded->crc, part.entry.crc);
  }
  const engine::SaveRowReport& saved = view.saves[0];
  EXPECT_EQ(saved.result, RowResult::kWhole);
  EXPECT_TRUE(saved.attempted);
  EXPECT_EQ(platform::PathFromUtf8(saved.target), Root() / "ZARVEL_Good.dotm");
  ASSERT_TRUE(saved.save && saved.selfCheck);
  EXPECT_EQ(saved.save->outcome, engine::SaveOutcome::kSaved);
  EXPECT_TRUE(saved.selfCheck->passed);
  EXPECT_EQ(saved.media, engine::MediaResult::kCopied);

  EXPECT_FALSE(view.repairs[1].opened);
  EXPECT_EQ(view.repairs[1].result, RowResult::kFailed);
  EXPECT_TRUE(view.repairs[1].parts.empty());
  EXPECT_FALSE(view.saves[1].attempted);
  EXPECT_EQ(view.saves[1].outcomes,
            std::vector<std::string>{"cannot be saved,as it is not Repaired."});
  for (const auto& [key, result] : view.results) {
    EXPECT_EQ(result, key.first == JobKind::kRepair ? view.repairs[key.second].result
                                                    : view.saves[key.second].result);
  }
}

// Rows a stop never reached are reported too, with the log's words for it.
TEST_F(RowReportTest, StoppedRowsAreReported) {
  std::vector<std::string> packages;
  for (const char* name : {"A.dotm", "B.dotm"})
    packages.push_back(Utf8(WriteFile(name, testsupport::SampleTemplatePackage())));
  ReportingView view(packages);
  view.OnLogContaining(packages[0] + "  Repaired", [this] { running_ = 0; });
  RunRepair(view);
  ASSERT_EQ(view.repairs.size(), 2u);
  EXPECT_EQ(view.repairs[0].result, RowResult::kWhole);
  EXPECT_EQ(view.repairs[1].result, RowResult::kFailed);
  EXPECT_EQ(view.repairs[1].outcomes, (std::vector<std::string>{
                                          engine::OutcomeText(engine::kLogRepairStopped),
                                          engine::OutcomeText(engine::kLogNotRepaired),
                                      }));
}

}  // namespace
}  // namespace jobstest
