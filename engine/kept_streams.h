// The output of the deflate streams the scanner inflates to find where they end (a deflated part
// with no size evidence), kept in files of the working folder so that extraction moves them into
// place instead of inflating the same stream a second time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>

#include "zip/part_inflater.h"

namespace engine {

// One kept stream: the file holding everything it produced, and how its inflation ended.
struct KeptStream {
  std::filesystem::path path;
  zip::PartInflateResult result;
};

class KeptStreams {
 public:
  // Files go to folder; an empty folder keeps nothing.
  explicit KeptStreams(std::filesystem::path folder) : folder_(std::move(folder)) {}
  ~KeptStreams();
  KeptStreams(const KeptStreams&) = delete;
  KeptStreams& operator=(const KeptStreams&) = delete;

  // Inflates the stream at offset as zip::InflatePart does, keeping its output when a file can
  // take it. The result never depends on the keeping: a file that cannot be written only means
  // that nothing is kept.
  zip::PartInflateResult Inflate(zip::ByteSource& source, std::uint64_t offset,
                                 std::uint64_t inputLimit);

  // Hands over the kept output of the stream at dataOffset when it was inflated from exactly
  // compressedSize bytes, the range extraction would inflate; the caller then owns the file.
  std::optional<KeptStream> Take(std::uint64_t dataOffset, std::uint64_t compressedSize);
  // True when Take would hand over a file for this range.
  bool Has(std::uint64_t dataOffset, std::uint64_t compressedSize) const;

  // Removes the kept file of the stream at dataOffset (a stream that turned out to be no part).
  void Drop(std::uint64_t dataOffset);

 private:
  std::filesystem::path folder_;
  std::map<std::uint64_t, KeptStream> streams_;
};

}  // namespace engine
