// Extracts the copies of a package's parts into staging files on worker threads, so that
// inflating, checking and writing one part overlaps with the next, while whoever decides which
// copy stands takes the staged copies strictly in list order.
//
// A copy is staged in a new temporary file in the folder its output goes to; the taker renames
// it into place or removes it. A worker starts a copy only while it lies within 2 x threads
// copies of the one being taken, so at most that many staged copies wait on the disk. With one
// thread no worker runs: each copy is staged on the taker's thread when it is taken.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/part_entry.h"
#include "engine/part_extraction.h"

namespace engine {

struct StagedCopy {
  std::optional<std::filesystem::path> path;  // nothing when no staging file could be made
  PartOutcome outcome = PartOutcome::kWriteFailed;
  DecodedBytes decoded;
  std::uint64_t size = 0;  // bytes in the staging file
};

// Stages one copy of entry from the open package into a new file in folder (on this thread).
StagedCopy StageCopy(platform::File& package, const PartEntry& entry,
                     const std::filesystem::path& folder);

class PartStager {
 public:
  struct Job {
    PartEntry entry;
    std::filesystem::path folder;  // where the staging file goes: the output's own folder
  };

  // Workers open the package themselves; a worker that cannot open it stages nothing, and the
  // copies it would have staged are staged by the taker.
  PartStager(std::filesystem::path package, std::vector<Job> jobs, unsigned threads);
  // Stops the workers and removes every staged copy that was not taken.
  ~PartStager();
  PartStager(const PartStager&) = delete;
  PartStager& operator=(const PartStager&) = delete;

  // The staged copy of job index, for index = 0, 1, 2, ... in turn; waits for it. The caller
  // then owns the staging file. taker is the package opened on the caller's thread.
  StagedCopy Take(std::size_t index, platform::File& taker);

 private:
  struct Slot {
    bool started = false;
    bool ready = false;
    bool taken = false;
    StagedCopy copy;
  };

  void WorkerLoop();
  bool NextJob(std::size_t& index);

  const std::filesystem::path package_;
  const std::vector<Job> jobs_;
  std::size_t window_ = 2;

  std::mutex mutex_;
  std::condition_variable forTaker_;
  std::condition_variable forWorkers_;
  std::vector<Slot> slots_;  // one per job; never resized
  std::size_t nextJob_ = 0;
  std::size_t takerAt_ = 0;
  bool stopping_ = false;

  std::vector<std::jthread> workers_;  // last: joined before the state above goes away
};

}  // namespace engine
