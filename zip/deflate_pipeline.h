// Reads and encodes the data of a list of zip entries on worker threads, and hands the results
// to one writer thread strictly in list order.
//
// Each worker takes the next entry of the list, opens its source, reads its information and
// then reads and encodes (or, for a stored entry, copies) its data into pieces of compressed
// bytes. The encoding is the very call the one-thread writer makes (same piece sizes, same
// transfer buffer), so the bytes are the same whichever thread makes them. Memory stays bounded:
// a worker starts an entry only while it lies within 2 x threads entries of the one the writer
// is at, and it waits while more than kMaxQueuedPerEntry bytes of one entry wait to be written.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <limits>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "zip/source_info.h"

namespace zip {

class DeflatePipeline {
 public:
  // Compressed bytes are handed over in pieces of about this size...
  static constexpr std::size_t kPieceSize = 256 * 1024;
  // ...and a worker waits while this much of its entry is queued and not yet written.
  static constexpr std::size_t kMaxQueuedPerEntry = 4 * kPieceSize;

  struct Job {
    std::filesystem::path source;
    std::uint16_t method = 0;  // kMethodStored or kMethodDeflated
    std::uint64_t failAfter = std::numeric_limits<std::uint64_t>::max();  // see EntrySource
  };

  // What the worker found when it opened the source.
  struct Opened {
    std::uint32_t result = 0;  // kZipOk, kZipFileError or kZipTooLarge (size over maxSize)
    SourceInfo info;
    std::string systemError;  // the system's text when opening or reading information failed
  };

  // How the data step ended; valid once the last piece has been taken.
  struct Finished {
    bool ok = false;               // false: the encoder failed
    std::uint32_t crc = 0;         // of the bytes read
    std::uint64_t bytesRead = 0;   // what the source really gave
    std::uint64_t compressed = 0;  // bytes of entry data produced
    std::uint16_t levelFlags = 0;  // flag bits the encoder adds (deflated entries)
    std::string systemError;       // what went wrong on the worker, when it knows
  };

  // Starts up to threads workers (at least one is tried) over jobs. Sources larger than
  // maxSize are not read. Started() tells whether any worker runs.
  DeflatePipeline(std::vector<Job> jobs, unsigned threads, std::uint64_t maxSize);
  // Stops the workers (an entry being encoded is dropped) and joins them.
  ~DeflatePipeline();
  DeflatePipeline(const DeflatePipeline&) = delete;
  DeflatePipeline& operator=(const DeflatePipeline&) = delete;

  bool Started() const { return !workers_.empty(); }

  // The writer's side, for job index = 0, 1, 2, ... in turn; each job ends with Done(index).
  // Waits until the worker has opened the source.
  Opened WaitOpened(std::size_t index);
  // Waits for the next piece of data into piece; false when the data has all been taken.
  bool NextPiece(std::size_t index, std::vector<std::byte>& piece);
  // After NextPiece returned false: how the data step ended.
  Finished TakeFinished(std::size_t index);
  // The writer is done with the job (written, refused or failed): anything still queued or
  // being made for it is dropped, and the workers may go further ahead.
  void Done(std::size_t index);

 private:
  struct Entry {
    bool opened = false;
    bool finished = false;
    bool done = false;  // set by the writer: nobody wants this entry's data any more
    Opened opening;
    Finished ending;
    std::deque<std::vector<std::byte>> pieces;
    std::size_t queuedBytes = 0;
  };
  class PieceSink;

  void WorkerLoop();
  bool TakeNextJob(std::size_t& index);
  void RunJob(std::size_t index, std::span<std::byte> sourceBuffer,
              std::span<std::byte> transferBuffer);
  Opened OpenSource(const Job& job, platform::File& file) const;
  void Publish(std::size_t index, const Opened& opened);
  void Publish(std::size_t index, Finished finished);
  // Queues one piece; waits while the entry's queue is full. False when the entry is no longer
  // wanted (the writer gave up on it or the pipeline stops).
  bool Queue(std::size_t index, std::vector<std::byte> piece);

  const std::vector<Job> jobs_;
  const std::uint64_t maxSize_;
  std::size_t window_ = 2;

  std::mutex mutex_;
  std::condition_variable forWriter_;
  std::condition_variable forWorkers_;
  std::vector<Entry> entries_;  // one per job; never resized, so references stay valid
  std::size_t nextJob_ = 0;     // the next job a worker takes
  std::size_t writerAt_ = 0;    // the job the writer works on (all before it are done)
  bool stopping_ = false;

  std::vector<std::jthread> workers_;  // last: joined before the state above goes away
};

}  // namespace zip
