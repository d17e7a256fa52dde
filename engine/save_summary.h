// The save job's closing words: the final message and the instruction line, from what became
// of every row.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/job_view.h"

namespace engine {

class SaveTally {
 public:
  // One row's result; reason says why a failed row was not saved.
  void Count(RowResult result, std::string_view reason = {});

  int Rows() const { return rows_; }
  int Saved() const { return saved_; }
  int Incomplete() const { return incomplete_; }
  // The reasons of the failed rows, each once, in the order met.
  const std::vector<std::string>& Reasons() const { return reasons_; }

 private:
  int rows_ = 0;
  int saved_ = 0;
  int incomplete_ = 0;
  std::vector<std::string> reasons_;
};

// The final message in message markup, linking to the destination as shown. When every row
// was saved whole it is the usual "File(s) saving process has been completed...."; otherwise it
// says how many of how many were saved and why the others were not.
std::string SaveSummaryMessage(const SaveTally& tally, std::string_view shownDestination);

struct Instruction {
  std::string_view text;
  std::span<const TextRange> bold;
};
// The instruction line after the save: completed, partly completed, or failed.
Instruction SaveSummaryInstruction(const SaveTally& tally);

}  // namespace engine
