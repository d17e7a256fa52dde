// The fixed texts of the log panel, the instruction line and the messages, shared by the jobs
// and the views.
#pragma once

#include <array>
#include <string_view>

#include "engine/job_view.h"
#include "engine/part_entry.h"

namespace engine {

// Log lines: the package path followed directly by one of these.
inline constexpr std::string_view kLogFileOpen = " file is open....\r\n";
inline constexpr std::string_view kLogFileExtracted = " file is extracted....\r\n";
inline constexpr std::string_view kLogFileClosed = " file is closed....\r\n";
inline constexpr std::string_view kLogPreviewAvailable = " preview of file is available....\r\n";
inline constexpr std::string_view kLogRepaired = "  Repaired....\r\n";
inline constexpr std::string_view kLogExtractionFailed = " extraction of file failed....\r\n";
inline constexpr std::string_view kLogRepairStopped =
    " file is not extracting as process has been stop by the user.... \r\n";
inline constexpr std::string_view kLogNotRepaired = " not Repaired....\r\n";
inline constexpr std::string_view kLogSaveStarts = " saving of file starts....\r\n";
inline constexpr std::string_view kLogNoMedia = " no media content is present in the file....\r\n";
inline constexpr std::string_view kLogMediaDone = " Media extraction is done....\r\n";
inline constexpr std::string_view kLogMediaFailed = " Media extraction failed....\r\n";
inline constexpr std::string_view kLogSaveDone = " saving of file done....\r\n";
inline constexpr std::string_view kLogSaveFailed = " saving of file failed....\r\n";
// Before " saving of file failed....": why, as the package path, this head, the reason (see
// save_outcome.h) and the tail.
inline constexpr std::string_view kLogSaveReasonHead = " cannot be saved, ";
inline constexpr std::string_view kLogSaveReasonTail = "....\r\n";
// After the package path, " part " and the part's name.
inline constexpr std::string_view kLogPartLeftOut =
    " is left out, a package cannot hold its name....\r\n";
inline constexpr std::string_view kLogCannotSave = " cannot be saved,as it is not Repaired.\r\n";
inline constexpr std::string_view kLogSaveStopped =
    " file is not saving as process has been stop by the user.... \r\n";
inline constexpr std::string_view kLogNotSaved = " not saved....\r\n";
// " self-check of saved file failed: " + the reason + kLogSaveReasonTail
inline constexpr std::string_view kLogSelfCheckFailedHead = " self-check of saved file failed: ";
// A part that is not whole: the package path, kLogPart, the part name, then one of these.
inline constexpr std::string_view kLogPart = " part ";
inline constexpr std::string_view kLogPartCutShort = " is cut short....\r\n";
inline constexpr std::string_view kLogPartDamaged = " is damaged....\r\n";
inline constexpr std::string_view kLogPartLost = " could not be recovered....\r\n";
// A part the repair wrote itself (XML closed, relationships or content types completed or built):
// it is not as it was recovered.
inline constexpr std::string_view kLogPartRebuilt = " is rebuilt....\r\n";
// A part whose header was destroyed: its data was found without it and its name told by what
// the data holds, so the name is a conclusion, not the package's own.
inline constexpr std::string_view kLogPartIdentified = " is identified by its content....\r\n";
// A package whose every LF had become CR LF (a copy in text mode): it is read with that undone.
inline constexpr std::string_view kLogTextModeUndone =
    " file was changed by a copy in text mode, its line ends are undone....\r\n";
// Data found without a header that tells no name: the package path, this head, the data's
// file offset in decimal and the tail.
inline constexpr std::string_view kLogOrphanHead = " data at offset ";
inline constexpr std::string_view kLogOrphanUnidentified =
    " could not be identified, it is left out....\r\n";

// Whole lines.
inline constexpr std::string_view kLogStarLine =
    "*************************************************************************************\r\n";
inline constexpr std::string_view kLogRepairCompleted = "Repairing process completed....\r\n";
inline constexpr std::string_view kLogSaveCompleted = "Saving processing completed....\r\n";
inline constexpr std::string_view kLogUnderscoreLine =
    "________________________________________________________________\r\n\r\n";

// Log panel texts set by the workspace.
inline constexpr std::string_view kLogIdleText =
    "Click Select files to select .dotm file(s) to repair....";
inline constexpr std::string_view kLogSelectedText = "Select .dotm file(s) to Repair....";

// Instruction lines with their bold ranges.
inline constexpr std::string_view kInstructionIdle =
    "Click Select files to select .dotm file(s) to repair.\n"
    "Click Repair files to see the preview of the .dotm file(s).";
inline constexpr std::array<TextRange, 5> kInstructionIdleBold{
    {{6, 18}, {29, 34}, {59, 72}, {84, 92}, {99, 104}}};
inline constexpr std::array<TextRange, 5> kInstructionEmptiedBold{
    {{6, 18}, {29, 34}, {59, 72}, {83, 91}, {99, 103}}};
inline constexpr std::string_view kInstructionRepairing =
    "Please wait while .dotm file(s) are Repairing....";
inline constexpr std::array<TextRange, 1> kInstructionRepairingBold{{{19, 30}}};
inline constexpr std::string_view kInstructionRepaired =
    "Click item in the list to see the preview in right side.\n"
    "Click Browse folder to select destination path.\n"
    "Click Save.... to save .dotm file(s)";
inline constexpr std::array<TextRange, 4> kInstructionRepairedBold{
    {{6, 22}, {62, 76}, {110, 118}, {127, 133}}};
inline constexpr std::string_view kInstructionSaving =
    "Please wait while .dotm file(s) are saving....";
inline constexpr std::array<TextRange, 1> kInstructionSavingBold{{{19, 30}}};
inline constexpr std::string_view kInstructionSaved =
    "Saving of .dotm file(s) completed....\n Click exit to end the application or \n"
    "Select new .dotm file(s) to repair....";
inline constexpr std::array<TextRange, 1> kInstructionSavedBold{{{11, 22}}};
// The same bold range fits these two: they start as the one above.
inline constexpr std::string_view kInstructionSavedPartly =
    "Saving of .dotm file(s) partly completed....\n Click exit to end the application or \n"
    "Select new .dotm file(s) to repair....";
inline constexpr std::string_view kInstructionSaveFailed =
    "Saving of .dotm file(s) failed....\n Click exit to end the application or \n"
    "Select new .dotm file(s) to repair....";

// Messages.
inline constexpr std::string_view kMsgStopBeforeSaving =
    "Please stop the running process before saving the file(s).";
inline constexpr std::string_view kMsgInvalidDestination = "Please select a valid folder path.";
inline constexpr std::string_view kMsgSaveCompletedHead =
    "File(s) saving process has been completed.Saved file(s) location is:<br>";
// When not every file was saved whole (see save_summary.h).
inline constexpr std::string_view kMsgSaveFailedHead =
    "File(s) saving process has failed: no file has been saved.";
inline constexpr std::string_view kMsgSavePartlyHead =
    "File(s) saving process has been completed: ";
inline constexpr std::string_view kMsgSavedIncompleteTail =
    " of them saved without everything: see the red lines of the log.";
// Why a row was not saved, in those messages.
inline constexpr std::string_view kReasonNotRepaired = "file(s) not repaired";
inline constexpr std::string_view kReasonStopped = "the process has been stopped by the user";
inline constexpr std::string_view kMsgConfirmStop = "Are you sure to stop the running process?";

// The log text for a part's status; empty for a whole part.
inline std::string_view PartStatusLogText(PartStatus status) {
  switch (status) {
    case PartStatus::kWhole:
      return {};
    case PartStatus::kCutShort:
      return kLogPartCutShort;
    case PartStatus::kDamaged:
      return kLogPartDamaged;
    case PartStatus::kLost:
      return kLogPartLost;
    case PartStatus::kIdentified:
      return kLogPartIdentified;
  }
  return kLogPartLost;
}

}  // namespace engine
