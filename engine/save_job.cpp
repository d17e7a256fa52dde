#include "engine/save_job.h"

#include <string>
#include <system_error>

#include "engine/job_texts.h"
#include "engine/media_lookup.h"
#include "engine/package_saver.h"
#include "engine/package_self_check.h"
#include "engine/working_folder.h"
#include "platform/text.h"

namespace engine {
namespace fs = std::filesystem;

namespace {

bool IsExistingFolder(const std::string& text) {
  if (text.empty()) return false;
  std::error_code ec;
  return fs::is_directory(platform::PathFromUtf8(text), ec);
}

bool EndsWithSeparator(std::string_view text) {
#ifdef _WIN32
  return text.ends_with('\\') || text.ends_with('/');
#else
  return text.ends_with('/');
#endif
}

std::string WithTrailingSeparator(std::string text) {
  if (!EndsWithSeparator(text)) text += static_cast<char>(fs::path::preferred_separator);
  return text;
}

// Copies the package's images into "<file name>_MediaContent" beside the saved package, and
// tells in the log whether there were any; an empty media folder is not left behind.
void SaveMedia(JobView& view, const std::string& package, const fs::path& fileFolder,
               const std::string& mediaFolderText) {
  const fs::path mediaFolder = platform::PathFromUtf8(mediaFolderText);
  std::error_code ec;
  fs::create_directory(mediaFolder, ec);
  const int copied = CopyMediaFiles(fileFolder, mediaFolder);
  if (copied == 0) {
    fs::remove(mediaFolder, ec);  // removes it only when empty
    LogForPackage(view, package, kLogNoMedia);
  } else {
    LogForPackage(view, package, kLogMediaDone);
  }
}

void SaveRepairedRow(const JobThreadParam& param, int row, const std::string& package,
                     const std::string& destination) {
  JobView& view = *param.pView;
  LogForPackage(view, package, kLogSaveStarts);
  const std::string fileName(platform::FileNamePart(package));
  const fs::path fileFolder = FileFolderFor(param.workingFolder, package, row);
  const fs::path target = platform::PathFromUtf8(destination + "ZARVEL_" + fileName);
  // A folder that is gone or a package the packer could not complete is a failure, never a
  // saved file; an older saved package of the same name then stays as it was.
  if (param.workingFolder.empty() || !SavePackage(fileFolder, target)) {
    LogForPackage(view, package, kLogSaveFailed, kLogRed);
    return;
  }
  if (const auto check = CheckSavedPackage(target); !check.passed) {
    LogForPackage(view, package, " self-check of saved file failed: " + check.reason + "....\r\n",
                  kLogRed);
  }
  if (view.ExtractMediaChecked()) {
    SaveMedia(view, package, fileFolder, destination + fileName + "_MediaContent");
  }
  LogForPackage(view, package, kLogSaveDone, kLogGreen);
}

void MarkStoppedRows(JobView& view, int firstRow, int rowCount) {
  for (int row = firstRow; row < rowCount; ++row) {
    const std::string package = view.RowText(row);
    LogForPackage(view, package, kLogSaveStopped);
    LogForPackage(view, package, kLogNotSaved, kLogRed);
    view.AppendLog(kLogStarLine, kLogBlack);
    view.SetRowData(row, kRowNotRepaired);
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

void FinishSaveJob(const JobThreadParam& param, int rowCount, const std::string& shown) {
  JobView& view = *param.pView;
  view.SetProgressPos(ProgressBar::kTotal, rowCount);
  view.AppendLog(kLogSaveCompleted, kLogBlack);
  view.AppendLog(kLogUnderscoreLine, kLogBlack);
  view.SetInstruction(kInstructionSaved, kInstructionSavedBold);
  view.ShowStop(false);
  view.EnableSaveControls(true);
  view.EnableSelect(true);
  view.EnableRepair(true);
  view.ShowProgressArea(false, false);
  *param.pJobRunning = 0;
  const std::string message =
      std::string(kMsgSaveCompletedHead) + "'" + shown + "'" + ">" + shown + "</a>";
  view.MessageBox(message, kAppCaption, kMbIconInformation);
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
    return 0;
  }
  StartSaveJob(*param);
  const std::string destination = WithTrailingSeparator(shown);
  const int rowCount = view.RowCount();
  view.ShowProgressArea(false, true);
  view.ResetEstimate(ProgressBar::kTotal);
  view.SetProgressRange(ProgressBar::kTotal, rowCount);
  view.SetProgressPos(ProgressBar::kTotal, 0);

  for (int row = 0; row < rowCount; ++row) {
    const std::string package = view.RowText(row);
    if (view.RowData(row) == kRowRepaired) {
      if (param->pJobRunning->load() == 0) {
        MarkStoppedRows(view, row, rowCount);
        break;
      }
      SaveRepairedRow(*param, row, package, destination);
    } else {
      LogForPackage(view, package, kLogCannotSave, kLogRed);
    }
    view.AppendLog(kLogStarLine, kLogBlack);
    view.SetProgressPos(ProgressBar::kTotal, row + 1);
  }
  FinishSaveJob(*param, rowCount, shown);
  return 1;
}

}  // namespace engine
