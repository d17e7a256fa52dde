#include "engine/save_outcome.h"

namespace engine {

std::string_view SaveOutcomeText(SaveOutcome outcome) {
  switch (outcome) {
    case SaveOutcome::kSaved:
      return "saved";
    case SaveOutcome::kSavedPartly:
      return "saved without the parts whose names a package cannot hold";
    case SaveOutcome::kNoFileFolder:
      return "the repaired file's parts are no longer in the working folder";
    case SaveOutcome::kCannotCreate:
      return "the saved file cannot be created in the destination folder";
    case SaveOutcome::kPartUnreadable:
      return "a repaired part cannot be read";
    case SaveOutcome::kWriteFailed:
      return "the saved file cannot be written";
    case SaveOutcome::kTooLarge:
      return "the file is too large for a package";
    case SaveOutcome::kCannotReplace:
      return "the saved file cannot take its name in the destination folder";
  }
  return "unknown outcome";
}

std::string SaveFailureReason(const SaveResult& result) {
  std::string reason(SaveOutcomeText(result.outcome));
  if (!result.systemError.empty()) reason += ": " + result.systemError;
  return reason;
}

}  // namespace engine
