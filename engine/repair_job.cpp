#include "engine/repair_job.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "engine/job_texts.h"
#include "engine/kept_streams.h"
#include "engine/package_scanner.h"
#include "engine/part_entry.h"
#include "engine/part_extraction.h"
#include "engine/repair_report.h"
#include "engine/row_lanes.h"
#include "engine/text_mode_damage.h"
#include "engine/working_folder.h"
#include "platform/file.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "zip/deflate_threads.h"

namespace engine {
namespace fs = std::filesystem;

namespace {

// A file folder that starts empty, so that no leftover of an earlier run is mixed into this
// package's parts. False when it cannot be made.
bool MakeFreshFileFolder(const fs::path& workingFolder, const fs::path& fileFolder) {
  if (workingFolder.empty()) return false;
  RemoveFolderTree(fileFolder);
  return platform::EnsurePrivateFolder(fileFolder);
}

void MarkRow(JobView& view, int row, int state) {
  view.SetRowImage(row, state);
  view.SetRowData(row, state);
}

// The part's name as the package stores it, for the log.
std::string PartNameForLog(const std::wstring& partPath) {
  std::wstring name = partPath;
  std::replace(name.begin(), name.end(), L'\\', L'/');
  return platform::Utf8FromWide(name);
}

// A log line that says why the row is not whole; its text goes into the row's report too.
void LogShortfall(JobView& view, RepairRowReport& facts, std::string_view text,
                  std::uint32_t colour) {
  LogForPackage(view, facts.package, text, colour);
  facts.outcomes.push_back(OutcomeText(text));
}

// One red line for every part that did not come out whole, and for every part the repair wrote
// itself.
void LogPartsNotWhole(JobView& view, RepairRowReport& facts, const ExtractionReport& report) {
  for (const auto& part : report.notWhole) {
    std::string text(kLogPart);
    text += PartNameForLog(part.partPath);
    text += PartStatusLogText(StatusOf(part.outcome));
    LogShortfall(view, facts, text, kLogRed);
  }
  for (const auto& part : report.rebuilt) {
    LogShortfall(view, facts, std::string(kLogPart) + part + std::string(kLogPartRebuilt), kLogRed);
  }
  for (const auto offset : report.unidentified) {
    LogShortfall(
        view, facts,
        std::string(kLogOrphanHead) + std::to_string(offset) + std::string(kLogOrphanUnidentified),
        kLogRed);
  }
}

// The row's report and result, in that order.
void FinishRow(JobView& view, int row, RepairRowReport& facts, RowResult result) {
  facts.result = result;
  view.RepairReported(row, facts);
  view.RowFinished(JobKind::kRepair, row, result);
}

// What extraction found and did, for the row's report. When extraction never ran (no file
// folder could be made), every part found is one that could not be written.
void TakeExtractionFacts(RepairRowReport& facts, ExtractionReport& report,
                         const ScanList& scanList) {
  facts.parts = std::move(report.found);
  facts.unfound = std::move(report.unfound);
  facts.tree = std::move(report.tree);
  if (!facts.parts.empty() || scanList.empty()) return;
  for (const auto& entry : scanList) {
    facts.parts.push_back({.entry = entry, .outcome = PartOutcome::kWriteFailed});
  }
}

// Why the package cannot be opened: the scanner has told the user in a message; the report
// keeps the system's text as well.
std::string OpenFailureReason(const std::string& package) {
  platform::File probe;
  if (probe.Open(platform::PathFromUtf8(package), platform::File::Mode::kRead)) return {};
  return platform::LastErrorText();
}

// Extracts the scanned parts of the package at row into its file folder and marks the row.
// scanStopped: a stop request ended the scan early, so parts after the point it reached were
// never looked for.
void ExtractScannedPackage(const JobThreadParam& param, int row, const std::string& package,
                           const std::string& readPath, const ScanList& scanList, bool scanStopped,
                           KeptStreams& kept, unsigned threads) {
  JobView& view = *param.pView;
  RepairRowReport facts{.package = package, .opened = true, .scanStopped = scanStopped};
  const fs::path fileFolder = FileFolderFor(param.workingFolder, package, row);
  ExtractionReport report;
  if (MakeFreshFileFolder(param.workingFolder, fileFolder)) {
    report = ExtractParts(view, fileFolder, readPath, scanList, &kept, threads);
  }
  TakeExtractionFacts(facts, report, scanList);
  if (scanStopped) facts.outcomes.emplace_back(kReportScanStopped);
  if (report.written == 0) {
    // Nothing of the package could be recovered: saying "Repaired" would make the save job
    // produce a package holding only the stored content types.
    LogShortfall(view, facts, kLogExtractionFailed, kLogBlack);
    RemoveFolderTree(fileFolder);
    MarkRow(view, row, kRowNotRepaired);
    FinishRow(view, row, facts, RowResult::kFailed);
    return;
  }
  LogPartsNotWhole(view, facts, report);
  view.SetRowImage(row, kRowRepaired);
  LogForPackage(view, package, kLogPreviewAvailable);
  LogForPackage(view, package, kLogRepaired, kLogGreen);
  view.AppendLog(kLogStarLine, kLogBlack);
  view.SetRowData(row, kRowRepaired);
  // A part written anew (closed, completed or built) is not the package's own: the row is
  // whole only when every part came back as it was.
  const bool whole = report.notWhole.empty() && report.rebuilt.empty() &&
                     report.unidentified.empty() && !scanStopped;
  FinishRow(view, row, facts, whole ? RowResult::kWhole : RowResult::kIncomplete);
}

// threads: how many threads the row's extraction decodes parts on.
void RepairRow(const JobThreadParam& param, int row, const std::string& package, ScanList& scanList,
               unsigned threads) {
  // A package copied as text is read through a copy with the copy's damage undone.
  const auto restored = RestoreTextModeCopy(platform::PathFromUtf8(package), param.workingFolder);
  const std::string readPath = restored ? platform::Utf8FromPath(restored->copy) : package;
  if (restored) LogForPackage(*param.pView, package, kLogTextModeUndone);
  bool stopped = false;
  // Streams inflated to find their end keep their output beside the file folders, on the same
  // file system, until extraction moves it into place; what is left goes with this object.
  {
    KeptStreams kept(param.workingFolder);
    if (!ScanPackageFrom(param, package, platform::PathFromUtf8(readPath), scanList,
                         kScanBufferSize, &stopped, &kept)) {
      // The scanner has told the user why; the row keeps its earlier state.
      RepairRowReport facts{.package = package};
      LogShortfall(*param.pView, facts, kLogExtractionFailed, kLogBlack);
      if (std::string reason = OpenFailureReason(package); !reason.empty()) {
        facts.outcomes.push_back(std::move(reason));
      }
      FinishRow(*param.pView, row, facts, RowResult::kFailed);
    } else {
      ExtractScannedPackage(param, row, package, readPath, scanList, stopped, kept, threads);
    }
  }
  if (restored) {
    std::error_code ec;
    fs::remove(restored->copy, ec);
  }
}

void MarkStoppedRows(JobView& view, int firstRow, int rowCount) {
  for (int row = firstRow; row < rowCount; ++row) {
    const std::string package = view.RowText(row);
    RepairRowReport facts{.package = package};
    view.SetRowImage(row, kRowNotRepaired);
    LogShortfall(view, facts, kLogRepairStopped, kLogBlack);
    LogShortfall(view, facts, kLogNotRepaired, kLogRed);
    view.AppendLog(kLogStarLine, kLogBlack);
    view.SetRowData(row, kRowNotRepaired);
    FinishRow(view, row, facts, RowResult::kFailed);
  }
}

void FinishRepairJob(const JobThreadParam& param, int rowCount) {
  JobView& view = *param.pView;
  view.SetProgressPos(ProgressBar::kTotal, rowCount);
  view.ShowPreview("", kPreviewClickRow);
  view.AppendLog(kLogRepairCompleted, kLogBlack);
  view.AppendLog(kLogUnderscoreLine, kLogBlack);
  view.EnableSelect(true);
  view.ShowStop(false);
  view.EnableSaveControls(true);
  view.EnableRepair(true);
  view.SetInstruction(kInstructionRepaired, kInstructionRepairedBold);
  *param.pJobRunning = 0;
  view.ShowProgressArea(false, false);
}

}  // namespace

void PrepareRepairJob(const JobThreadParam& param) {
  JobView& view = *param.pView;
  if (!param.workingFolder.empty() && IsRealFolder(param.workingFolder)) {
    view.ShowPreview("", kPreviewImage);  // lets go of any shown image file first
    RemoveFolderTree(param.workingFolder);
  }
  view.SetInstruction(kInstructionRepairing, kInstructionRepairingBold);
  view.EnableRepair(false);
  view.ShowStop(true);
  view.EnableSelect(false);
  *param.pJobRunning = 1;
  view.ClearLog();
  view.SetProgressPos(ProgressBar::kFile, 0);
  view.SetProgressPos(ProgressBar::kTotal, 0);
  view.ShowPreview("", kPreviewWait);
}

int RepairWorker(const JobThreadParam* param) {
  if (param == nullptr || param->pView == nullptr || param->pJobRunning == nullptr) return 1;
  JobView& view = *param->pView;
  const int rowCount = view.RowCount();
  if (!param->workingFolder.empty()) platform::EnsurePrivateFolder(param->workingFolder);
  view.ShowProgressArea(true, true);
  view.ResetEstimate(ProgressBar::kTotal);
  view.SetProgressRange(ProgressBar::kTotal, rowCount);
  view.SetProgressPos(ProgressBar::kTotal, 0);

  // The decoding threads are shared among the rows repaired at once, as a save shares its
  // deflate threads.
  const unsigned lanesUsed =
      std::max(1u, std::min(param->rowsAtOnce, static_cast<unsigned>(std::max(rowCount, 0))));
  const unsigned threads = std::max(1u, zip::DeflateThreadCount() / lanesUsed);
  RowLanes lanes(view, rowCount);
  const int stoppedAt = lanes.Run(
      param->rowsAtOnce, *param->pJobRunning, [](int) { return true; },
      [param, threads](JobView& rowView, int row) {
        JobThreadParam rowParam = *param;
        rowParam.pView = &rowView;
        const std::string package = rowView.RowText(row);
        ScanList scanList;
        RepairRow(rowParam, row, package, scanList, threads);
        rowView.SetProgressPos(ProgressBar::kTotal, row + 1);
      });
  if (stoppedAt < rowCount) MarkStoppedRows(view, stoppedAt, rowCount);
  FinishRepairJob(*param, rowCount);
  return 1;
}

}  // namespace engine
