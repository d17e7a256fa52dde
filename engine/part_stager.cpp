#include "engine/part_stager.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <utility>

#include "platform/file.h"
#include "platform/temp_folder.h"

namespace engine {
namespace {

constexpr const char* kStagingPrefix = ".dotm-repair-part-";

void RemoveStaged(const StagedCopy& copy) {
  if (!copy.path) return;
  std::error_code ec;
  std::filesystem::remove(*copy.path, ec);
}

}  // namespace

StagedCopy StageCopy(platform::File& package, const PartEntry& entry,
                     const std::filesystem::path& folder) {
  StagedCopy copy;
  try {
    auto staging = platform::CreateTempFile(folder, kStagingPrefix);
    if (!staging) return copy;
    copy.path = staging->path;
    copy.outcome = ExtractPart(package, entry, staging->file, &copy.decoded);
    const std::int64_t size = staging->file.Size();
    copy.size = size < 0 ? 0 : static_cast<std::uint64_t>(size);
    const bool written = copy.outcome == PartOutcome::kWhole ||
                         copy.outcome == PartOutcome::kCutShort ||
                         copy.outcome == PartOutcome::kDamaged;
    if (!staging->file.Close() && written) copy.outcome = PartOutcome::kWriteFailed;
  } catch (const std::exception&) {
    // Out of memory or a path the system would not take: the copy could not be written.
    copy.outcome = PartOutcome::kWriteFailed;
  }
  return copy;
}

PartStager::PartStager(std::filesystem::path package, std::vector<Job> jobs, unsigned threads)
    : package_(std::move(package)), jobs_(std::move(jobs)), slots_(jobs_.size()) {
  if (threads <= 1 || jobs_.size() <= 1) return;
  window_ = 2 * static_cast<std::size_t>(threads);
  const auto count = std::min<std::size_t>(threads, jobs_.size());
  try {
    for (std::size_t i = 0; i < count; ++i)
      workers_.emplace_back([this] { WorkerLoop(); });
  } catch (const std::system_error&) {
    // Fewer workers than wanted (none at worst): the taker stages what they do not.
  }
}

PartStager::~PartStager() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  forWorkers_.notify_all();
  for (auto& worker : workers_)
    worker.join();
  for (const auto& slot : slots_) {
    if (slot.ready && !slot.taken) RemoveStaged(slot.copy);
  }
}

bool PartStager::NextJob(std::size_t& index) {
  std::unique_lock lock(mutex_);
  forWorkers_.wait(lock, [this] {
    return stopping_ || nextJob_ >= jobs_.size() || nextJob_ < takerAt_ + window_;
  });
  if (stopping_ || nextJob_ >= jobs_.size()) return false;
  index = nextJob_++;
  slots_[index].started = true;
  return true;
}

void PartStager::WorkerLoop() {
  platform::File package;
  if (!package.Open(package_, platform::File::Mode::kRead)) return;
  std::size_t index = 0;
  while (NextJob(index)) {
    StagedCopy copy = StageCopy(package, jobs_[index].entry, jobs_[index].folder);
    {
      std::lock_guard lock(mutex_);
      slots_[index].copy = std::move(copy);
      slots_[index].ready = true;
    }
    forTaker_.notify_all();
  }
}

StagedCopy PartStager::Take(std::size_t index, platform::File& taker) {
  std::unique_lock lock(mutex_);
  takerAt_ = index;
  forWorkers_.notify_all();
  Slot& slot = slots_[index];
  if (!slot.started) {
    // No worker took it (there are none, or none could open the package): stage it here.
    slot.started = true;
    nextJob_ = std::max(nextJob_, index + 1);
    lock.unlock();
    StagedCopy copy = StageCopy(taker, jobs_[index].entry, jobs_[index].folder);
    lock.lock();
    slot.taken = true;
    return copy;
  }
  forTaker_.wait(lock, [&slot] { return slot.ready; });
  slot.taken = true;
  return std::move(slot.copy);
}

}  // namespace engine
