// The record handed to the repair and save workers.
#pragma once

#include <atomic>
#include <filesystem>

#include "engine/job_view.h"

namespace engine {

struct JobThreadParam {
  JobView* pView = nullptr;
  // The frame's m_bJobRunning: 1 while a job runs, set to 0 by Stop; polled by the workers
  // between files and by the scanner between window steps. Still 0 or 1 only.
  std::atomic<int>* pJobRunning = nullptr;
  // The working folder that holds one file folder per repaired row (see working_folder.h).
  std::filesystem::path workingFolder;
  // How many rows a job works on at once (see RowLanes): the view then must take calls from
  // several threads. The log is the same for any number.
  unsigned rowsAtOnce = 1;
};

}  // namespace engine
