// The facts behind one row's result, as plain data, for views that keep a record of the run
// beyond the log (the command-line program's --report). The repair and save jobs hand them to
// the view once per row and job, just before RowFinished (JobView::RepairReported and
// JobView::SaveReported).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/job_view.h"
#include "engine/package_self_check.h"
#include "engine/package_tree_repair.h"
#include "engine/part_extraction.h"
#include "engine/save_outcome.h"

namespace engine {

// A row whose scan a stop request ended: parts after the point it reached were never looked
// for. The log has no line of its own for it.
inline constexpr std::string_view kReportScanStopped =
    "the scan was stopped before the end of the file";

struct RepairRowReport {
  std::string package;  // the path as listed
  RowResult result = RowResult::kFailed;
  bool opened = false;       // the package could be opened and scanned
  bool scanStopped = false;  // a stop request ended the scan early
  // Every entry of the scan list, in the order its header was met, with its fate.
  std::vector<FoundPart> parts;
  // Parts the log names that no found copy stands for (content types or relationships built
  // anew, content types that could not be placed).
  std::vector<UnfoundPart> unfound;
  std::optional<TreeRepairResult> tree;  // nothing when the tree pass did not run
  // Why the row is not whole: the texts of the log's lines that say so (without the package
  // path and the line end), and the system's reason when the package could not be opened.
  std::vector<std::string> outcomes;
};

enum class MediaResult {
  kNotAsked,  // the images were not asked for
  kCopied,    // every image of the package was copied
  kNone,      // the package holds no image
  kFailed,    // some image did not arrive
};

struct SaveRowReport {
  std::string package;  // the path as listed
  RowResult result = RowResult::kFailed;
  bool attempted = false;                    // the row was repaired and its saving was tried
  std::string target;                        // the saved package's path (UTF-8) when attempted
  std::optional<SaveResult> save;            // nothing when not attempted
  std::optional<SelfCheckResult> selfCheck;  // nothing when nothing was saved
  MediaResult media = MediaResult::kNotAsked;
  std::vector<std::string> outcomes;  // as in RepairRowReport
};

// A log text as a report's outcome: without its leading space and its line end.
std::string OutcomeText(std::string_view logText);

}  // namespace engine
