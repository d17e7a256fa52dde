// What became of saving one file folder as a package, with the reason when it was not saved.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace engine {

enum class SaveOutcome {
  kSaved,           // the package holds every file of the file folder
  kSavedPartly,     // saved; parts whose names no package can hold were left out
  kNoFileFolder,    // the row's file folder is gone (the working folder was emptied)
  kCannotCreate,    // no new file can be made in the destination folder
  kPartUnreadable,  // a file of the file folder cannot be read
  kWriteFailed,     // writing the package fell short (disk full, an input/output error)
  kTooLarge,        // beyond what the zip format holds (4 GiB, 65535 parts)
  kCannotReplace,   // the finished package could not take the saved file's name
};

// One text per outcome, for messages ("the saved file cannot be created in the destination
// folder").
std::string_view SaveOutcomeText(SaveOutcome outcome);

inline bool IsSaved(SaveOutcome outcome) {
  return outcome == SaveOutcome::kSaved || outcome == SaveOutcome::kSavedPartly;
}

struct SaveResult {
  SaveOutcome outcome = SaveOutcome::kSaved;
  // The system's text for the call that failed ("Permission denied"); empty when no system
  // call failed.
  std::string systemError;
  // kSavedPartly: the parts left out, as named in the package ("word/media/image1.png").
  std::vector<std::string> leftOut;
};

// The outcome's text followed by the system's text when there is one.
std::string SaveFailureReason(const SaveResult& result);

}  // namespace engine
