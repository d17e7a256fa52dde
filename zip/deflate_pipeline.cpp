#include "zip/deflate_pipeline.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <utility>

#include "platform/file.h"
#include "zip/deflate_encoder.h"
#include "zip/entry_source.h"
#include "zip/zip_entry_record.h"
#include "zip/zip_writer.h"

namespace zip {
namespace {

// The same piece and buffer sizes as the one-thread writer: the encoder then sees the same calls.
constexpr std::size_t kSourcePieceSize = 128 * 1024;
constexpr std::size_t kTransferBufferSize = 16384;

}  // namespace

// Gathers the encoder's output into pieces of about kPieceSize and queues each full one.
class DeflatePipeline::PieceSink final : public DeflateSink {
 public:
  PieceSink(DeflatePipeline& pipeline, std::size_t index) : pipeline_(pipeline), index_(index) {}

  bool Write(std::span<const std::byte> data) override {
    if (piece_.empty()) piece_.reserve(kPieceSize + kTransferBufferSize);
    piece_.insert(piece_.end(), data.begin(), data.end());
    written_ += data.size();
    if (piece_.size() < kPieceSize) return true;
    return Flush();
  }

  // Queues what is gathered; false when the entry is no longer wanted.
  bool Flush() {
    if (piece_.empty()) return true;
    return pipeline_.Queue(index_, std::exchange(piece_, {}));
  }

  std::uint64_t Written() const { return written_; }

 private:
  DeflatePipeline& pipeline_;
  std::size_t index_;
  std::vector<std::byte> piece_;
  std::uint64_t written_ = 0;
};

DeflatePipeline::DeflatePipeline(std::vector<Job> jobs, unsigned threads, std::uint64_t maxSize)
    : jobs_(std::move(jobs)), maxSize_(maxSize), entries_(jobs_.size()) {
  const unsigned count = std::max(threads, 1u);
  window_ = 2 * static_cast<std::size_t>(count);
  for (unsigned i = 0; i < count; ++i) {
    try {
      workers_.emplace_back([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
      // The system gives no more threads: those already running do the work.
      break;
    }
  }
}

DeflatePipeline::~DeflatePipeline() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  forWorkers_.notify_all();
  forWriter_.notify_all();
  workers_.clear();  // joins every worker
}

void DeflatePipeline::WorkerLoop() {
  // Each worker reads and encodes with buffers of its own, allocated once.
  std::vector<std::byte> sourceBuffer(kSourcePieceSize);
  std::vector<std::byte> transferBuffer(kTransferBufferSize);
  std::size_t index = 0;
  while (TakeNextJob(index)) {
    try {
      RunJob(index, sourceBuffer, transferBuffer);
    } catch (const std::exception& error) {
      // Out of memory, mostly: the entry fails with the reason, the writer is never left waiting.
      Opened failed{.result = kZipWriteError, .info = {}, .systemError = error.what()};
      Publish(index, failed);
      Publish(index, Finished{.ok = false, .systemError = error.what()});
    }
  }
}

bool DeflatePipeline::TakeNextJob(std::size_t& index) {
  std::unique_lock lock(mutex_);
  forWorkers_.wait(lock, [this] {
    return stopping_ || nextJob_ >= jobs_.size() || nextJob_ < writerAt_ + window_;
  });
  if (stopping_ || nextJob_ >= jobs_.size()) return false;
  index = nextJob_++;
  return true;
}

DeflatePipeline::Opened DeflatePipeline::OpenSource(const Job& job, platform::File& file) const {
  Opened opened;
  // Opening for reading refuses anything but a regular file at once (a FIFO or a device could
  // block or never end), with its reason recorded for this thread.
  if (!file.Open(job.source, platform::File::Mode::kRead)) {
    opened.result = kZipFileError;
    opened.systemError = platform::LastErrorText();
    return opened;
  }
  const std::optional<SourceInfo> info = ReadSourceInfo(file);
  if (!info) {
    opened.result = kZipFileError;
    opened.systemError = platform::LastErrorText();
    return opened;
  }
  opened.info = *info;
  opened.result = info->size > maxSize_ ? kZipTooLarge : kZipOk;
  return opened;
}

void DeflatePipeline::RunJob(std::size_t index, std::span<std::byte> sourceBuffer,
                             std::span<std::byte> transferBuffer) {
  const Job& job = jobs_[index];
  platform::File file;
  const Opened opened = OpenSource(job, file);
  Publish(index, opened);
  if (opened.result != kZipOk) {
    Publish(index, Finished{});
    return;
  }
  EntrySource reader(file, sourceBuffer, job.failAfter);
  PieceSink sink(*this, index);
  Finished finished;
  if (job.method == kMethodStored) {
    finished.ok = true;
    for (auto piece = reader.NextPiece(); !piece.empty() && finished.ok;
         piece = reader.NextPiece()) {
      finished.ok = sink.Write(piece);
    }
  } else {
    std::uint16_t flags = 0;
    finished.ok = DeflateEntryData(kDeflateLevel, flags, reader, sink, transferBuffer).has_value();
    finished.levelFlags = flags;
  }
  finished.ok = finished.ok && sink.Flush();
  file.Close();
  finished.crc = reader.Crc();
  finished.bytesRead = reader.BytesRead();
  finished.compressed = sink.Written();
  Publish(index, std::move(finished));
}

void DeflatePipeline::Publish(std::size_t index, const Opened& opened) {
  {
    std::lock_guard lock(mutex_);
    Entry& entry = entries_[index];
    if (entry.opened) return;
    entry.opening = opened;
    entry.opened = true;
  }
  forWriter_.notify_all();
}

void DeflatePipeline::Publish(std::size_t index, Finished finished) {
  {
    std::lock_guard lock(mutex_);
    Entry& entry = entries_[index];
    entry.ending = std::move(finished);
    entry.finished = true;
  }
  forWriter_.notify_all();
}

bool DeflatePipeline::Queue(std::size_t index, std::vector<std::byte> piece) {
  std::unique_lock lock(mutex_);
  Entry& entry = entries_[index];
  forWorkers_.wait(
      lock, [&] { return stopping_ || entry.done || entry.queuedBytes < kMaxQueuedPerEntry; });
  if (stopping_ || entry.done) return false;
  entry.queuedBytes += piece.size();
  entry.pieces.push_back(std::move(piece));
  lock.unlock();
  forWriter_.notify_all();
  return true;
}

DeflatePipeline::Opened DeflatePipeline::WaitOpened(std::size_t index) {
  std::unique_lock lock(mutex_);
  Entry& entry = entries_[index];
  forWriter_.wait(lock, [&] { return entry.opened || stopping_; });
  return entry.opening;
}

bool DeflatePipeline::NextPiece(std::size_t index, std::vector<std::byte>& piece) {
  std::unique_lock lock(mutex_);
  Entry& entry = entries_[index];
  forWriter_.wait(lock, [&] { return !entry.pieces.empty() || entry.finished || stopping_; });
  if (entry.pieces.empty()) return false;
  piece = std::move(entry.pieces.front());
  entry.pieces.pop_front();
  entry.queuedBytes -= piece.size();
  lock.unlock();
  forWorkers_.notify_all();
  return true;
}

DeflatePipeline::Finished DeflatePipeline::TakeFinished(std::size_t index) {
  std::unique_lock lock(mutex_);
  Entry& entry = entries_[index];
  forWriter_.wait(lock, [&] { return entry.finished || stopping_; });
  return entry.finished ? std::move(entry.ending) : Finished{};
}

void DeflatePipeline::Done(std::size_t index) {
  {
    std::lock_guard lock(mutex_);
    Entry& entry = entries_[index];
    entry.done = true;
    entry.pieces.clear();
    entry.queuedBytes = 0;
    writerAt_ = std::max(writerAt_, index + 1);
  }
  forWorkers_.notify_all();
}

}  // namespace zip
