#include "engine/text_mode_damage.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "engine/part_entry.h"
#include "engine/scan_reader.h"
#include "engine/zip_records.h"
#include "platform/file.h"
#include "platform/temp_folder.h"
#include "zip/part_inflater.h"

namespace engine {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kPiece = 1 << 20;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
constexpr const char* kCopyPrefix = ".dotm-repair-text-";

// Reads the file piece by piece from its start, calling each with every piece in order until
// it returns false.
template <typename Each>
bool ForEachPiece(platform::File& file, Each&& each) {
  if (!file.Seek(0)) return false;
  const auto piece = std::make_unique_for_overwrite<std::uint8_t[]>(kPiece);
  while (true) {
    const std::int64_t got = file.Read(std::as_writable_bytes(std::span(piece.get(), kPiece)));
    if (got < 0) return false;
    if (got == 0) return true;
    if (!each(std::span<const std::uint8_t>(piece.get(), static_cast<std::size_t>(got)))) {
      return true;
    }
  }
}

// How the file's LF bytes stand. Both kinds of LF turn up within the first few kilobytes of
// any ordinary package (deflated data holds them at random), so telling an ordinary package
// from a damaged one costs almost nothing; only a file that may be damaged is read through.
enum class LineEnds {
  kMixed,      // lone LFs and CR LF pairs both, or no LF at all: no text-mode damage
  kOnlyCrLf,   // every LF follows a CR: each CR LF may once have been an LF
  kOnlyLoneLf  // no LF follows a CR: each LF may once have been a CR LF
};

LineEnds ClassifyLineEnds(platform::File& file) {
  std::uint8_t previous = 0;
  bool lone = false;
  bool pair = false;
  const bool read = ForEachPiece(file, [&](std::span<const std::uint8_t> piece) {
    for (const std::uint8_t byte : piece) {
      if (byte == kLf) {
        (previous == kCr ? pair : lone) = true;
      }
      previous = byte;
    }
    return !(lone && pair);
  });
  if (!read || lone == pair) return LineEnds::kMixed;
  return pair ? LineEnds::kOnlyCrLf : LineEnds::kOnlyLoneLf;
}

// Writes the file with the CR before every LF dropped, except before the LFs whose place in the
// fully restored copy is in keep. dropped receives the places (in the fully restored copy) of
// the LFs whose CR was dropped, in order.
bool WriteRestoredCopy(platform::File& damaged, platform::File& out,
                       const std::set<std::uint64_t>& keep, std::vector<std::uint64_t>& dropped) {
  dropped.clear();
  std::vector<std::uint8_t> buffer;
  buffer.reserve(kPiece + 1);
  std::uint64_t place = 0;  // in the fully restored copy
  bool pendingCr = false;
  bool written = true;
  const bool read = ForEachPiece(damaged, [&](std::span<const std::uint8_t> piece) {
    buffer.clear();
    for (const std::uint8_t byte : piece) {
      if (pendingCr) {
        pendingCr = false;
        if (byte == kLf) {
          if (keep.contains(place)) {
            buffer.push_back(kCr);
          } else {
            dropped.push_back(place);
          }
        } else {
          buffer.push_back(kCr);
          ++place;
        }
      }
      if (byte == kCr) {
        pendingCr = true;
        continue;
      }
      buffer.push_back(byte);
      ++place;
    }
    written = written && out.Write(std::as_bytes(std::span(buffer)));
    return written;
  });
  if (pendingCr) {
    const std::array<std::uint8_t, 1> cr{kCr};
    written = written && out.Write(std::as_bytes(std::span(cr)));
  }
  return read && written;
}

// One local header's part as the check sees it.
struct PartCheck {
  std::uint64_t dataOffset = 0;
  std::uint64_t next = 0;  // the next record's signature (or the end of the file)
  std::uint16_t method = 0;
  std::optional<std::uint64_t> size;  // stored parts: the size stated for the data
  std::uint64_t dataEnd = 0;          // stored parts: where their data seems to end
  std::vector<std::uint32_t> crcs;    // the CRC-32s stated for it
  bool confirmed = false;
};

bool Contains(const std::vector<std::uint32_t>& crcs, std::uint32_t crc) {
  return std::find(crcs.begin(), crcs.end(), crc) != crcs.end();
}

void CheckDeflated(ScanReader& reader, const LocalHeader& header, PartCheck& check,
                   std::uint64_t& budget) {
  const auto result = zip::InflatePart(reader, check.dataOffset, check.next - check.dataOffset, {});
  budget -= std::min(budget, result.consumed);
  if (!header.HasDescriptor() || header.crc != 0) check.crcs.push_back(header.crc);
  if (result.end != zip::InflateEnd::kStreamEnd) return;
  if (const auto descriptor = ReadDescriptor(reader, check.dataOffset + result.consumed)) {
    check.crcs.push_back(descriptor->crc);
  }
  check.confirmed = Contains(check.crcs, result.crc);
}

void CheckStored(ScanReader& reader, const LocalHeader& header, PartCheck& check,
                 std::uint64_t& budget) {
  if (!header.HasDescriptor() || header.crc != 0) check.crcs.push_back(header.crc);
  check.dataEnd = check.next;
  if (header.compressedSize != 0 && header.compressedSize != kZip64Marker) {
    check.size = header.compressedSize;
  } else {
    // The descriptor before the next record states the size; a size that is not the distance
    // to it fails the CRC-32 below, and tells how many bytes went missing.
    static constexpr std::array<Signature, 1> kDescriptor{kDataDescriptorSignature};
    const auto hit = reader.FindSignature(check.dataOffset, kDescriptor, nullptr);
    if (!hit || hit->offset > check.next) return;
    const auto descriptor = ReadDescriptor(reader, hit->offset);
    if (!descriptor) return;
    check.size = descriptor->compressedSize;
    check.dataEnd = hit->offset;
    check.crcs.push_back(descriptor->crc);
  }
  if (*check.size > reader.FileSize() - check.dataOffset) return;
  std::vector<std::uint8_t> chunk(64 * 1024);
  std::uint32_t crc = 0;
  for (std::uint64_t done = 0; done < *check.size;) {
    const auto n =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), *check.size - done));
    if (reader.ReadAt(check.dataOffset + done, std::span(chunk.data(), n)) != n) return;
    crc = zip::Crc32(crc, std::span(chunk.data(), n));
    done += n;
  }
  budget -= std::min(budget, *check.size);
  check.confirmed = Contains(check.crcs, crc);
}

// Every local header's part with what its CRC-32 says of it, until kMaxComparedBytes of data.
std::vector<PartCheck> CheckParts(const fs::path& path) {
  std::vector<PartCheck> checks;
  platform::File file;
  if (!file.Open(path, platform::File::Mode::kRead)) return checks;
  const std::int64_t size = file.Size();
  if (size <= 0 || !file.Seek(0)) return checks;
  ScanReader reader(file, static_cast<std::uint64_t>(size), kPiece);
  static constexpr std::array<Signature, 1> kHeader{kLocalHeaderSignature};
  static constexpr std::array<Signature, 3> kRecords{kLocalHeaderSignature, kCentralHeaderSignature,
                                                     kEndRecordSignature};
  std::uint64_t budget = kMaxComparedBytes;
  std::uint64_t from = 0;
  while (budget > 0) {
    const auto hit = reader.FindSignature(from, kHeader, nullptr);
    if (!hit) break;
    from = hit->offset + 1;
    const auto header = ReadLocalHeader(reader, hit->offset);
    if (!header || header->name.empty() ||
        (header->method != kMethodStored && header->method != kMethodDeflated)) {
      continue;
    }
    PartCheck check;
    check.dataOffset = header->dataOffset;
    check.method = header->method;
    const auto next = reader.FindSignature(header->dataOffset, kRecords, nullptr);
    check.next = next ? next->offset : reader.FileSize();
    if (header->method == kMethodDeflated) {
      CheckDeflated(reader, *header, check, budget);
    } else {
      CheckStored(reader, *header, check, budget);
    }
    checks.push_back(std::move(check));
    from = std::max(from, header->dataOffset);
  }
  return checks;
}

std::size_t Confirmed(const std::vector<PartCheck>& checks) {
  return static_cast<std::size_t>(
      std::count_if(checks.begin(), checks.end(), [](const auto& c) { return c.confirmed; }));
}

class MemorySource : public zip::ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset >= bytes_.size()) return 0;
    const auto n =
        static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), bytes_.size() - offset));
    std::memcpy(out.data(), bytes_.data() + offset, n);
    return n;
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

// The search among the CR LF choices of the parts that fail in the restored copy.
class ChoiceSearch {
 public:
  // places: where a CR may be put back before an LF of the file copy reads.
  ChoiceSearch(ScanReader& copy, const std::vector<std::uint64_t>& places, std::size_t maxAttempts)
      : copy_(copy), dropped_(places), maxAttempts_(maxAttempts) {}

  // Tries the part's choices, fewest CRs put back first (exactly count when given); true when
  // one matches its CRC-32, whose places then join keep.
  bool Search(const PartCheck& check, std::set<std::uint64_t>& keep,
              std::optional<std::size_t> exactCount = std::nullopt) {
    if (check.crcs.empty() || (check.method == kMethodStored && !check.size)) return false;
    const auto first = std::lower_bound(dropped_.begin(), dropped_.end(), check.dataOffset);
    const auto last = std::lower_bound(first, dropped_.end(), check.next);
    const std::vector<std::uint64_t> places(first, last);
    const std::uint64_t length = check.next - check.dataOffset;
    if (places.empty() || exactCount == 0u || length + places.size() > kMaxChoicePartSize) {
      return false;
    }
    base_.resize(static_cast<std::size_t>(length));
    if (copy_.ReadAt(check.dataOffset, base_) != base_.size()) return false;
    for (std::size_t count = exactCount.value_or(1);
         count <= std::min(places.size(), exactCount.value_or(places.size())); ++count) {
      std::vector<std::size_t> chosen(count);
      for (std::size_t i = 0; i < count; ++i)
        chosen[i] = i;
      do {
        if (!Spend()) return false;
        if (Matches(check, places, chosen)) {
          for (const auto i : chosen)
            keep.insert(places[i]);
          return true;
        }
      } while (NextCombination(chosen, places.size()));
    }
    return false;
  }

  std::size_t Attempts() const { return attempts_; }

 private:
  bool Spend() {
    if (attempts_ >= maxAttempts_ || bytes_ >= kMaxChoiceBytes) return false;
    ++attempts_;
    bytes_ += base_.size();
    return true;
  }

  static bool NextCombination(std::vector<std::size_t>& chosen, std::size_t n) {
    const std::size_t k = chosen.size();
    for (std::size_t i = k; i-- > 0;) {
      if (chosen[i] < n - k + i) {
        ++chosen[i];
        for (std::size_t j = i + 1; j < k; ++j)
          chosen[j] = chosen[j - 1] + 1;
        return true;
      }
    }
    return false;
  }

  bool Matches(const PartCheck& check, const std::vector<std::uint64_t>& places,
               const std::vector<std::size_t>& chosen) {
    candidate_.clear();
    std::uint64_t at = check.dataOffset;
    for (const auto i : chosen) {
      const auto upTo = static_cast<std::size_t>(places[i] - check.dataOffset);
      candidate_.insert(candidate_.end(),
                        base_.begin() + static_cast<std::ptrdiff_t>(at - check.dataOffset),
                        base_.begin() + static_cast<std::ptrdiff_t>(upTo));
      candidate_.push_back(kCr);
      at = places[i];
    }
    candidate_.insert(candidate_.end(),
                      base_.begin() + static_cast<std::ptrdiff_t>(at - check.dataOffset),
                      base_.end());
    if (check.method == kMethodStored) {
      if (candidate_.size() < *check.size) return false;
      return Contains(check.crcs, zip::Crc32(0, std::span(candidate_.data(),
                                                          static_cast<std::size_t>(*check.size))));
    }
    MemorySource source(candidate_);
    const auto result = zip::InflatePart(source, 0, candidate_.size(), {});
    return result.end == zip::InflateEnd::kStreamEnd && Contains(check.crcs, result.crc);
  }

  ScanReader& copy_;
  const std::vector<std::uint64_t>& dropped_;
  std::size_t maxAttempts_;
  std::size_t attempts_ = 0;
  std::uint64_t bytes_ = 0;
  std::vector<std::uint8_t> base_;
  std::vector<std::uint8_t> candidate_;
};

// The places of the file's LFs, for a file in which none follows a CR (every one may have lost
// its CR).
std::optional<std::vector<std::uint64_t>> LfPlaces(platform::File& file) {
  std::vector<std::uint64_t> places;
  std::uint64_t offset = 0;
  const bool read = ForEachPiece(file, [&](std::span<const std::uint8_t> piece) {
    for (const std::uint8_t byte : piece) {
      if (byte == kLf) places.push_back(offset);
      ++offset;
    }
    return true;
  });
  if (!read || places.empty()) return std::nullopt;
  return places;
}

// Writes the file with a CR put back before each LF whose offset is in insert.
bool WriteWithCrsPutBack(platform::File& damaged, platform::File& out,
                         const std::set<std::uint64_t>& insert) {
  std::vector<std::uint8_t> buffer;
  buffer.reserve(2 * kPiece);
  std::uint64_t offset = 0;
  bool written = true;
  const bool read = ForEachPiece(damaged, [&](std::span<const std::uint8_t> piece) {
    buffer.clear();
    for (const std::uint8_t byte : piece) {
      if (byte == kLf && insert.contains(offset)) buffer.push_back(kCr);
      buffer.push_back(byte);
      ++offset;
    }
    written = written && out.Write(std::as_bytes(std::span(buffer)));
    return written;
  });
  return read && written;
}

struct Copy {
  fs::path path;
  std::vector<std::uint64_t> dropped;
};

std::optional<Copy> MakeCopy(platform::File& damaged, const fs::path& folder,
                             const std::set<std::uint64_t>& keep) {
  auto temp = platform::CreateTempFile(folder, kCopyPrefix);
  if (!temp) return std::nullopt;
  Copy copy{temp->path, {}};
  const bool written = WriteRestoredCopy(damaged, temp->file, keep, copy.dropped);
  if (!temp->file.Close() || !written) {
    std::error_code ec;
    fs::remove(copy.path, ec);
    return std::nullopt;
  }
  return copy;
}

void Remove(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

// Searches the choices of every part that fails in the copy; the places whose CR is kept.
std::set<std::uint64_t> SearchChoices(const Copy& copy, const std::vector<PartCheck>& checks,
                                      std::size_t maxAttempts, TextModeRestoration& restoration) {
  std::set<std::uint64_t> keep;
  platform::File file;
  if (!file.Open(copy.path, platform::File::Mode::kRead)) return keep;
  const std::int64_t size = file.Size();
  if (size <= 0 || !file.Seek(0)) return keep;
  ScanReader reader(file, static_cast<std::uint64_t>(size), kPiece);
  ChoiceSearch search(reader, copy.dropped, maxAttempts);
  for (const auto& check : checks) {
    if (!check.confirmed && search.Search(check, keep)) ++restoration.choicesTaken;
  }
  restoration.attempts = search.Attempts();
  return keep;
}

// The bytes a stored part whose size is stated lacks: how many CRs it lost, when that is known.
std::optional<std::size_t> MissingBytes(const PartCheck& check) {
  if (check.method != kMethodStored || !check.size) return std::nullopt;
  const std::uint64_t found = check.dataEnd - check.dataOffset;
  if (*check.size <= found) return std::size_t{0};
  return static_cast<std::size_t>(*check.size - found);
}

// The reverse damage, every CR LF made LF, cannot be undone as a whole: an LF does not say
// whether it had a CR. Parts that fail their CRC-32 are tried with CRs put back, stored parts
// (whose stated size tells how many) first.
std::optional<TextModeRestoration> PutBackLostCrs(platform::File& damaged, const fs::path& package,
                                                  const fs::path& folder, std::size_t maxAttempts) {
  const auto places = LfPlaces(damaged);
  if (!places) return std::nullopt;
  auto checks = CheckParts(package);
  std::stable_partition(checks.begin(), checks.end(),
                        [](const PartCheck& check) { return MissingBytes(check).has_value(); });
  platform::File file;
  if (!file.Open(package, platform::File::Mode::kRead)) return std::nullopt;
  const std::int64_t size = file.Size();
  if (size <= 0 || !file.Seek(0)) return std::nullopt;
  ScanReader reader(file, static_cast<std::uint64_t>(size), kPiece);
  ChoiceSearch search(reader, *places, maxAttempts);
  TextModeRestoration restoration;
  std::set<std::uint64_t> insert;
  for (const auto& check : checks) {
    if (!check.confirmed && search.Search(check, insert, MissingBytes(check))) {
      ++restoration.choicesTaken;
    }
  }
  restoration.attempts = search.Attempts();
  if (insert.empty()) return std::nullopt;
  auto temp = platform::CreateTempFile(folder, kCopyPrefix);
  if (!temp) return std::nullopt;
  const bool written = WriteWithCrsPutBack(damaged, temp->file, insert);
  if (!temp->file.Close() || !written) {
    Remove(temp->path);
    return std::nullopt;
  }
  restoration.copy = temp->path;
  restoration.partsConfirmed = Confirmed(checks) + restoration.choicesTaken;
  return restoration;
}

}  // namespace

std::optional<TextModeRestoration> RestoreTextModeCopy(const fs::path& package,
                                                       const fs::path& folder,
                                                       std::size_t maxAttempts) {
  try {
    platform::File damaged;
    if (folder.empty() || !damaged.Open(package, platform::File::Mode::kRead)) return std::nullopt;
    switch (ClassifyLineEnds(damaged)) {
      case LineEnds::kMixed:
        return std::nullopt;
      case LineEnds::kOnlyLoneLf:
        return PutBackLostCrs(damaged, package, folder, maxAttempts);
      case LineEnds::kOnlyCrLf:
        break;
    }
    auto copy = MakeCopy(damaged, folder, {});
    if (!copy) return std::nullopt;
    const std::size_t before = Confirmed(CheckParts(package));
    const auto checks = CheckParts(copy->path);
    TextModeRestoration restoration;
    const auto keep = SearchChoices(*copy, checks, maxAttempts, restoration);
    restoration.partsConfirmed = Confirmed(checks) + restoration.choicesTaken;
    if (restoration.partsConfirmed <= before) {
      Remove(copy->path);
      return std::nullopt;
    }
    if (!keep.empty()) {
      auto chosen = MakeCopy(damaged, folder, keep);
      Remove(copy->path);
      if (!chosen) return std::nullopt;
      copy = std::move(chosen);
    }
    restoration.copy = copy->path;
    return restoration;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace engine
