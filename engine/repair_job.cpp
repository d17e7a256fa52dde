#include "engine/repair_job.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "engine/job_texts.h"
#include "engine/package_scanner.h"
#include "engine/part_entry.h"
#include "engine/part_extraction.h"
#include "engine/text_mode_damage.h"
#include "engine/working_folder.h"
#include "platform/temp_folder.h"
#include "platform/text.h"

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

// One red line for every part that did not come out whole, and for every part the repair wrote
// itself.
void LogPartsNotWhole(JobView& view, const std::string& package, const ExtractionReport& report) {
  for (const auto& part : report.notWhole) {
    std::string text(kLogPart);
    text += PartNameForLog(part.partPath);
    text += PartStatusLogText(StatusOf(part.outcome));
    LogForPackage(view, package, text, kLogRed);
  }
  for (const auto& part : report.rebuilt) {
    LogForPackage(view, package, std::string(kLogPart) + part + std::string(kLogPartRebuilt),
                  kLogRed);
  }
  for (const auto offset : report.unidentified) {
    LogForPackage(
        view, package,
        std::string(kLogOrphanHead) + std::to_string(offset) + std::string(kLogOrphanUnidentified),
        kLogRed);
  }
}

// Extracts the scanned parts of the package at row into its file folder and marks the row.
// scanStopped: a stop request ended the scan early, so parts after the point it reached were
// never looked for.
void ExtractScannedPackage(const JobThreadParam& param, int row, const std::string& package,
                           const std::string& readPath, const ScanList& scanList,
                           bool scanStopped) {
  JobView& view = *param.pView;
  const fs::path fileFolder = FileFolderFor(param.workingFolder, package, row);
  ExtractionReport report;
  if (MakeFreshFileFolder(param.workingFolder, fileFolder)) {
    report = ExtractParts(view, fileFolder, readPath, scanList);
  }
  if (report.written == 0) {
    // Nothing of the package could be recovered: saying "Repaired" would make the save job
    // produce a package holding only the stored content types.
    LogForPackage(view, package, kLogExtractionFailed);
    RemoveFolderTree(fileFolder);
    MarkRow(view, row, kRowNotRepaired);
    view.RowFinished(JobKind::kRepair, row, RowResult::kFailed);
    return;
  }
  LogPartsNotWhole(view, package, report);
  view.SetRowImage(row, kRowRepaired);
  LogForPackage(view, package, kLogPreviewAvailable);
  LogForPackage(view, package, kLogRepaired, kLogGreen);
  view.AppendLog(kLogStarLine, kLogBlack);
  view.SetRowData(row, kRowRepaired);
  // A part written anew (closed, completed or built) is not the package's own: the row is
  // whole only when every part came back as it was.
  const bool whole = report.notWhole.empty() && report.rebuilt.empty() &&
                     report.unidentified.empty() && !scanStopped;
  view.RowFinished(JobKind::kRepair, row, whole ? RowResult::kWhole : RowResult::kIncomplete);
}

void RepairRow(const JobThreadParam& param, int row, const std::string& package,
               ScanList& scanList) {
  // A package copied as text is read through a copy with the copy's damage undone.
  const auto restored = RestoreTextModeCopy(platform::PathFromUtf8(package), param.workingFolder);
  const std::string readPath = restored ? platform::Utf8FromPath(restored->copy) : package;
  if (restored) LogForPackage(*param.pView, package, kLogTextModeUndone);
  bool stopped = false;
  if (!ScanPackageFrom(param, package, platform::PathFromUtf8(readPath), scanList, kScanBufferSize,
                       &stopped)) {
    // The scanner has told the user why; the row keeps its earlier state.
    LogForPackage(*param.pView, package, kLogExtractionFailed);
    param.pView->RowFinished(JobKind::kRepair, row, RowResult::kFailed);
  } else {
    ExtractScannedPackage(param, row, package, readPath, scanList, stopped);
  }
  if (restored) {
    std::error_code ec;
    fs::remove(restored->copy, ec);
  }
}

void MarkStoppedRows(JobView& view, int firstRow, int rowCount) {
  for (int row = firstRow; row < rowCount; ++row) {
    const std::string package = view.RowText(row);
    view.SetRowImage(row, kRowNotRepaired);
    LogForPackage(view, package, kLogRepairStopped);
    LogForPackage(view, package, kLogNotRepaired, kLogRed);
    view.AppendLog(kLogStarLine, kLogBlack);
    view.SetRowData(row, kRowNotRepaired);
    view.RowFinished(JobKind::kRepair, row, RowResult::kFailed);
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

  ScanList scanList;
  for (int row = 0; row < rowCount; ++row) {
    const std::string package = view.RowText(row);
    scanList.clear();
    if (param->pJobRunning->load() == 0) {
      MarkStoppedRows(view, row, rowCount);
      break;
    }
    RepairRow(*param, row, package, scanList);
    view.SetProgressPos(ProgressBar::kTotal, row + 1);
  }
  FinishRepairJob(*param, rowCount);
  return 1;
}

}  // namespace engine
