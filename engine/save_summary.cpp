#include "engine/save_summary.h"

#include <algorithm>

#include "engine/job_texts.h"
#include "engine/message_markup.h"

namespace engine {

namespace {

std::string JoinedReasons(const SaveTally& tally) {
  std::string joined;
  for (const std::string& reason : tally.Reasons()) {
    if (!joined.empty()) joined += "<br>";
    joined += EscapeMarkup(reason);
  }
  return joined;
}

}  // namespace

void SaveTally::Count(RowResult result, std::string_view reason) {
  ++rows_;
  if (result != RowResult::kFailed) {
    ++saved_;
    if (result == RowResult::kIncomplete) ++incomplete_;
    return;
  }
  if (!reason.empty() && std::find(reasons_.begin(), reasons_.end(), reason) == reasons_.end()) {
    reasons_.emplace_back(reason);
  }
}

std::string SaveSummaryMessage(const SaveTally& tally, std::string_view shownDestination) {
  if (tally.Saved() == tally.Rows() && tally.Incomplete() == 0) {
    return std::string(kMsgSaveCompletedHead) + LinkMarkup(shownDestination);
  }
  const std::string reasons = JoinedReasons(tally);
  if (tally.Saved() == 0) {
    std::string message(kMsgSaveFailedHead);
    if (!reasons.empty()) message += "<br>Reason: <b>" + reasons + "</b>";
    return message + "<br>Destination folder is:<br>" + LinkMarkup(shownDestination);
  }
  std::string message = std::string(kMsgSavePartlyHead) + std::to_string(tally.Saved()) + " of " +
                        std::to_string(tally.Rows()) + " file(s) saved.";
  if (tally.Incomplete() > 0) {
    message += "<br>" + std::to_string(tally.Incomplete()) + std::string(kMsgSavedIncompleteTail);
  }
  if (tally.Saved() < tally.Rows() && !reasons.empty()) {
    message += "<br>Not saved: <b>" + reasons + "</b>";
  }
  return message + "<br>Saved file(s) location is:<br>" + LinkMarkup(shownDestination);
}

Instruction SaveSummaryInstruction(const SaveTally& tally) {
  if (tally.Saved() == tally.Rows()) return {kInstructionSaved, kInstructionSavedBold};
  if (tally.Saved() == 0) return {kInstructionSaveFailed, kInstructionSavedBold};
  return {kInstructionSavedPartly, kInstructionSavedBold};
}

}  // namespace engine
