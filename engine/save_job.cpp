#include "engine/save_job.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "engine/job_texts.h"
#include "engine/media_lookup.h"
#include "engine/package_saver.h"
#include "engine/package_self_check.h"
#include "engine/repair_report.h"
#include "engine/row_lanes.h"
#include "engine/save_summary.h"
#include "engine/working_folder.h"
#include "platform/text.h"
#include "zip/deflate_threads.h"

namespace engine {
namespace fs = std::filesystem;

namespace {

bool IsExistingFolder(const std::string& text) {
  if (text.empty()) return false;
  std::error_code ec;
  return fs::is_directory(platform::PathFromUtf8(text), ec);
}

std::string WithTrailingSeparator(std::string text) {
  if (!platform::EndsWithSeparator(text)) text += static_cast<char>(fs::path::preferred_separator);
  return text;
}

// A log line that says why the row is not saved whole; its text goes into the row's report too.
void LogShortfall(JobView& view, SaveRowReport& facts, std::string_view text,
                  std::uint32_t colour) {
  LogForPackage(view, facts.package, text, colour);
  facts.outcomes.push_back(OutcomeText(text));
}

// Copies the package's images into "<file name>_MediaContent" beside the saved package and
// tells in the log whether they got there. Only a folder this call made is removed again (when
// no image needed it); a file, a link or a folder of the user's under that name stays as it is.
// Failed when images were wanted there and did not arrive.
MediaResult SaveMedia(JobView& view, SaveRowReport& facts, const fs::path& fileFolder,
                      const std::string& mediaFolderText) {
  const std::string& package = facts.package;
  const fs::path mediaFolder = platform::PathFromUtf8(mediaFolderText);
  std::error_code ec;
  const fs::file_type existing = fs::symlink_status(mediaFolder, ec).type();
  bool made = false;
  if (existing == fs::file_type::not_found) {
    made = fs::create_directory(mediaFolder, ec) && !ec;
  }
  if (!made && existing != fs::file_type::directory) {
    LogShortfall(view, facts, kLogMediaFailed, kLogRed);
    return MediaResult::kFailed;
  }
  const MediaCount count = CopyMediaFiles(fileFolder, mediaFolder);
  // fs::remove takes a folder only when it is empty.
  if (made && count.copied == 0) fs::remove(mediaFolder, ec);
  if (count.found == 0) {
    LogForPackage(view, package, kLogNoMedia);
    return MediaResult::kNone;
  }
  if (count.copied < count.found) {
    LogShortfall(view, facts, kLogMediaFailed, kLogRed);
    return MediaResult::kFailed;
  }
  LogForPackage(view, package, kLogMediaDone);
  return MediaResult::kCopied;
}

// What became of one row, and why when it was not saved.
struct RowSave {
  RowResult result = RowResult::kFailed;
  std::string reason;
};

RowSave SaveRepairedRow(const JobThreadParam& param, int row, SaveRowReport& facts,
                        const std::string& destination, unsigned deflateThreads) {
  JobView& view = *param.pView;
  const std::string& package = facts.package;
  LogForPackage(view, package, kLogSaveStarts);
  const std::string fileName(platform::FileNamePart(package));
  facts.attempted = true;
  facts.target = destination + "ZARVEL_" + fileName;
  const fs::path target = platform::PathFromUtf8(facts.target);
  // Without a working folder the file folder would be a relative path: nothing to save then.
  const fs::path fileFolder =
      param.workingFolder.empty() ? fs::path() : FileFolderFor(param.workingFolder, package, row);
  // A folder that is gone or a package the packer could not complete is a failure, never a
  // saved file; an older saved package of the same name then stays as it was.
  facts.save = fileFolder.empty() ? SaveResult{.outcome = SaveOutcome::kNoFileFolder}
                                  : SavePackage(fileFolder, target, deflateThreads);
  const SaveResult& saved = *facts.save;
  if (!IsSaved(saved.outcome)) {
    std::string reason = SaveFailureReason(saved);
    LogShortfall(view, facts,
                 std::string(kLogSaveReasonHead) + reason + std::string(kLogSaveReasonTail),
                 kLogRed);
    LogShortfall(view, facts, kLogSaveFailed, kLogRed);
    return {RowResult::kFailed, std::move(reason)};
  }
  for (const std::string& part : saved.leftOut) {
    LogShortfall(view, facts, " part " + part + std::string(kLogPartLeftOut), kLogRed);
  }
  // The saved file is read back as a word processor would; what fails there is never whole.
  facts.selfCheck = CheckSavedPackage(target);
  const SelfCheckResult& check = *facts.selfCheck;
  if (!check.passed) {
    LogShortfall(
        view, facts,
        std::string(kLogSelfCheckFailedHead) + check.reason + std::string(kLogSaveReasonTail),
        kLogRed);
  }
  bool whole = saved.outcome == SaveOutcome::kSaved && check.passed;
  if (view.ExtractMediaChecked()) {
    // Images asked for and missing leave the row short of what the user wanted.
    facts.media = SaveMedia(view, facts, fileFolder, destination + fileName + "_MediaContent");
    whole = facts.media != MediaResult::kFailed && whole;
  }
  LogForPackage(view, package, kLogSaveDone, kLogGreen);
  return {whole ? RowResult::kWhole : RowResult::kIncomplete, {}};
}

// The row's report and result, in that order.
void FinishRow(JobView& view, int row, SaveRowReport& facts, RowResult result) {
  facts.result = result;
  view.SaveReported(row, facts);
  view.RowFinished(JobKind::kSave, row, result);
}

// One row of the save job: saved when repaired, said so when not.
RowSave SaveListedRow(const JobThreadParam& param, int row, const std::string& destination,
                      unsigned deflateThreads) {
  JobView& view = *param.pView;
  SaveRowReport facts{.package = view.RowText(row)};
  RowSave saved{RowResult::kFailed, std::string(kReasonNotRepaired)};
  if (view.RowData(row) == kRowRepaired) {
    saved = SaveRepairedRow(param, row, facts, destination, deflateThreads);
  } else {
    LogShortfall(view, facts, kLogCannotSave, kLogRed);
  }
  view.AppendLog(kLogStarLine, kLogBlack);
  FinishRow(view, row, facts, saved.result);
  view.SetProgressPos(ProgressBar::kTotal, row + 1);
  return saved;
}

unsigned RepairedRowCount(JobView& view, int rowCount) {
  unsigned count = 0;
  for (int row = 0; row < rowCount; ++row)
    count += view.RowData(row) == kRowRepaired ? 1 : 0;
  return count;
}

// The names a row writes in the destination, folded to lower case so that systems that do not
// tell cases apart are covered too.
std::array<std::string, 2> NamesWritten(std::string_view package) {
  std::string fileName(platform::FileNamePart(package));
  std::transform(fileName.begin(), fileName.end(), fileName.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return {"zarvel_" + fileName, fileName + "_mediacontent"};
}

// For every row, the earlier rows that write a name it writes too (the latest one per name).
std::vector<std::vector<int>> EarlierClashingRows(JobView& view, int rowCount) {
  std::vector<std::vector<int>> clashes(static_cast<std::size_t>(rowCount));
  std::map<std::string, int> lastWriter;
  for (int row = 0; row < rowCount; ++row) {
    for (auto& name : NamesWritten(view.RowText(row))) {
      const auto [it, fresh] = lastWriter.try_emplace(std::move(name), row);
      if (!fresh) {
        clashes[static_cast<std::size_t>(row)].push_back(it->second);
        it->second = row;
      }
    }
  }
  return clashes;
}

void MarkStoppedRows(JobView& view, int firstRow, int rowCount, SaveTally& tally) {
  for (int row = firstRow; row < rowCount; ++row) {
    SaveRowReport facts{.package = view.RowText(row)};
    LogShortfall(view, facts, kLogSaveStopped, kLogBlack);
    LogShortfall(view, facts, kLogNotSaved, kLogRed);
    view.AppendLog(kLogStarLine, kLogBlack);
    view.SetRowData(row, kRowNotRepaired);
    FinishRow(view, row, facts, RowResult::kFailed);
    tally.Count(RowResult::kFailed, kReasonStopped);
  }
}

void StartSaveJob(const JobThreadParam& param) {
  JobView& view = *param.pView;
  *param.pJobRunning = 1;
  view.SetProgressPos(ProgressBar::kFile, 0);
  view.SetProgressPos(ProgressBar::kTotal, 0);
  view.EnableSaveControls(false);
  view.ClearLog();
  view.EnableSelect(false);
  view.EnableRepair(false);
  view.SetInstruction(kInstructionSaving, kInstructionSavingBold);
  view.ShowStop(true);
}

void FinishSaveJob(const JobThreadParam& param, int rowCount, const std::string& shown,
                   const SaveTally& tally) {
  JobView& view = *param.pView;
  view.SetProgressPos(ProgressBar::kTotal, rowCount);
  view.AppendLog(kLogSaveCompleted, kLogBlack);
  view.AppendLog(kLogUnderscoreLine, kLogBlack);
  const Instruction instruction = SaveSummaryInstruction(tally);
  view.SetInstruction(instruction.text, instruction.bold);
  view.ShowStop(false);
  view.EnableSaveControls(true);
  view.EnableSelect(true);
  view.EnableRepair(true);
  view.ShowProgressArea(false, false);
  *param.pJobRunning = 0;
  view.MessageBox(SaveSummaryMessage(tally, shown), kAppCaption, kMbIconInformation);
}

}  // namespace

bool PrepareSaveJob(const JobThreadParam& param) {
  if (param.pJobRunning->load() == 1) {
    param.pView->MessageBox(kMsgStopBeforeSaving, kAppCaption, kMbIconInformation);
    return false;
  }
  return true;
}

int SaveWorker(const JobThreadParam* param) {
  if (param == nullptr || param->pView == nullptr || param->pJobRunning == nullptr) return 0;
  JobView& view = *param->pView;
  const std::string shown = view.DestinationText();
  if (!IsExistingFolder(shown)) {
    view.MessageBox(kMsgInvalidDestination, kAppCaption, kMbIconInformation);
    // Nothing is saved: callers that decide from the rows' results must not count them saved.
    for (int row = 0; row < view.RowCount(); ++row) {
      SaveRowReport facts{.package = view.RowText(row)};
      facts.outcomes.emplace_back(kMsgInvalidDestination);
      FinishRow(view, row, facts, RowResult::kFailed);
    }
    return 0;
  }
  StartSaveJob(*param);
  const std::string destination = WithTrailingSeparator(shown);
  const int rowCount = view.RowCount();
  view.ShowProgressArea(false, true);
  view.ResetEstimate(ProgressBar::kTotal);
  view.SetProgressRange(ProgressBar::kTotal, rowCount);
  view.SetProgressPos(ProgressBar::kTotal, 0);

  // The deflate threads are shared among the rows saved at once, so that together they keep
  // about as many threads busy as one row alone would.
  const bool severalAtOnce = param->rowsAtOnce > 1;
  const unsigned lanesUsed =
      severalAtOnce ? std::min(param->rowsAtOnce, RepairedRowCount(view, rowCount)) : 1;
  const unsigned deflateThreads = std::max(1u, zip::DeflateThreadCount() / std::max(1u, lanesUsed));
  const auto clashes = severalAtOnce
                           ? EarlierClashingRows(view, rowCount)
                           : std::vector<std::vector<int>>(static_cast<std::size_t>(rowCount));
  std::vector<RowSave> results(static_cast<std::size_t>(rowCount));
  RowLanes lanes(view, rowCount);
  const int stoppedAt = lanes.Run(
      lanesUsed, *param->pJobRunning,
      [&view](int row) { return view.RowData(row) == kRowRepaired; },
      [&](JobView& rowView, int row) {
        JobThreadParam rowParam = *param;
        rowParam.pView = &rowView;
        // Rows that write under the same name are saved in the order listed, so the later one
        // is what stays, as when the rows are saved one after the other.
        for (const int earlier : clashes[static_cast<std::size_t>(row)])
          lanes.WaitUntilDone(earlier);
        results[static_cast<std::size_t>(row)] =
            SaveListedRow(rowParam, row, destination, deflateThreads);
      });
  SaveTally tally;
  for (int row = 0; row < stoppedAt; ++row) {
    const RowSave& saved = results[static_cast<std::size_t>(row)];
    tally.Count(saved.result, saved.reason);
  }
  if (stoppedAt < rowCount) MarkStoppedRows(view, stoppedAt, rowCount, tally);
  FinishSaveJob(*param, rowCount, shown, tally);
  return 1;
}

}  // namespace engine
