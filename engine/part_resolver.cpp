#include "engine/part_resolver.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/package_scanner.h"

namespace engine {
namespace {

constexpr std::uint64_t kCrcChunk = 64 * 1024;

// A header whose fields could belong to a real part: a name without control bytes and a method
// that zip defines. Random "PK\3\4" bytes in junk rarely pass, so losses are only reported for
// headers like these.
bool LooksLikeHeader(const LocalHeader& header) {
  if (header.name.empty()) return false;
  for (const std::uint8_t byte : header.name) {
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return header.method <= 20 || (header.method >= 93 && header.method <= 99);
}

std::vector<std::uint64_t> StatedSizes(const LocalHeader& header, const CentralEntry* central) {
  std::vector<std::uint64_t> sizes;
  const auto add = [&sizes](std::uint64_t size) {
    if (std::find(sizes.begin(), sizes.end(), size) == sizes.end()) sizes.push_back(size);
  };
  if (central) add(central->compressedSize);
  if (header.zip64Compressed) add(*header.zip64Compressed);
  if (header.compressedSize != kZip64Marker &&
      !(header.HasDescriptor() && header.compressedSize == 0 && header.uncompressedSize == 0)) {
    add(header.compressedSize);
  }
  if (header.method == kMethodStored) {
    if (header.zip64Uncompressed) add(*header.zip64Uncompressed);
    if (header.uncompressedSize != kZip64Marker && header.uncompressedSize != 0) {
      add(header.uncompressedSize);
    }
  }
  return sizes;
}

// The part as the header and the directory state it; the caller fills in its end.
PartEntry EntryFromHeader(const LocalHeader& header, const CentralEntry* central) {
  PartEntry entry;
  entry.method = header.method;
  entry.flags = header.flags;
  entry.partPath = PartPathFromNameBytes(header.name);
  entry.headerOffset = header.offset;
  entry.dataOffset = header.dataOffset;
  entry.inCentralDirectory = central != nullptr;
  // With the descriptor flag, zeros in the header only mean "see the descriptor".
  if (central) {
    entry.crc = central->crc;
    entry.uncompressedSize = central->uncompressedSize;
    return entry;
  }
  if (!header.HasDescriptor() || header.crc != 0) entry.crc = header.crc;
  entry.uncompressedSize = header.zip64Uncompressed.value_or(header.uncompressedSize);
  return entry;
}

void TakeDescriptor(PartEntry& entry, const DataDescriptor& descriptor) {
  if (!entry.crc) entry.crc = descriptor.crc;
  if (!entry.inCentralDirectory) entry.uncompressedSize = descriptor.uncompressedSize;
  entry.endOffset = descriptor.end;
}

// The data ends at dataEnd: a descriptor there (signed, or unsigned when the flag says so) is
// taken as part of the part's range.
void EndAt(ScanReader& reader, PartEntry& entry, std::uint64_t dataEnd, SizeEvidence evidence,
           bool descriptorExpected) {
  entry.compressedSize = dataEnd - entry.dataOffset;
  entry.endOffset = dataEnd;
  entry.evidence = evidence;
  Signature signature{};
  const bool signedThere = reader.ReadAt(dataEnd, signature) == signature.size() &&
                           signature == kDataDescriptorSignature;
  if (signedThere || (descriptorExpected && !IsRecordBoundary(reader, dataEnd))) {
    if (const auto descriptor = ReadDescriptor(reader, dataEnd)) TakeDescriptor(entry, *descriptor);
  }
}

// A stated size counts when a record boundary (or a descriptor and then one) follows the data.
bool EndByStatedSize(ScanReader& reader, const LocalHeader& header, const CentralEntry* central,
                     PartEntry& entry) {
  for (const std::uint64_t size : StatedSizes(header, central)) {
    const std::uint64_t end = header.dataOffset + size;
    if (end < header.dataOffset || end > reader.FileSize()) continue;
    bool followed = IsRecordBoundary(reader, end);
    if (!followed && header.HasDescriptor()) {
      const auto descriptor = ReadDescriptor(reader, end);
      followed = descriptor && IsRecordBoundary(reader, descriptor->end);
    }
    if (followed) {
      EndAt(reader, entry, end, SizeEvidence::kFollowed, header.HasDescriptor());
      return true;
    }
  }
  return false;
}

// The CRC-32 of a part's first bytes, extended as later signatures are tried.
class RunningCrc {
 public:
  RunningCrc(ScanReader& reader, std::uint64_t start) : reader_(reader), position_(start) {}
  std::uint32_t UpTo(std::uint64_t end) {
    std::array<std::uint8_t, kCrcChunk> chunk{};
    while (position_ < end) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kCrcChunk, end - position_));
      const std::size_t got = reader_.ReadAt(position_, std::span(chunk.data(), n));
      if (got == 0) break;
      crc_ = zip::Crc32(crc_, std::span(chunk.data(), got));
      position_ += got;
    }
    return crc_;
  }

 private:
  ScanReader& reader_;
  std::uint64_t position_;
  std::uint32_t crc_ = 0;
};

// A stored part whose stated size is followed by no record (junk after it, a damaged next
// header) still ends there when its bytes up to there match the CRC-32 it states.
bool EndByStatedCrc(ScanReader& reader, const LocalHeader& header, const CentralEntry* central,
                    PartEntry& entry) {
  if (!entry.crc) return false;
  for (const std::uint64_t size : StatedSizes(header, central)) {
    if (size == 0 || size > reader.FileSize() - header.dataOffset) continue;
    RunningCrc crc(reader, header.dataOffset);
    if (crc.UpTo(header.dataOffset + size) == *entry.crc) {
      EndAt(reader, entry, header.dataOffset + size, SizeEvidence::kCrcMatch,
            header.HasDescriptor());
      return true;
    }
  }
  return false;
}

// Walks the signatures after the data of a part whose stated sizes do not hold. A descriptor
// whose size is its distance from the data ends the part; a stored part also ends where its
// bytes match the CRC-32 it states. A deflated part's search stops at the first record that
// is not its descriptor: its stream is then inflated instead.
bool EndBySearch(ScanReader& reader, const LocalHeader& header, PartEntry& entry,
                 const std::atomic<int>* running) {
  static constexpr std::array<Signature, 5> kStops{kDataDescriptorSignature, kLocalHeaderSignature,
                                                   kCentralHeaderSignature, kEndRecordSignature,
                                                   kZip64EndRecordSignature};
  const bool stored = header.method == kMethodStored;
  const std::optional<std::uint32_t> statedCrc = entry.crc;
  RunningCrc crc(reader, header.dataOffset);
  std::uint64_t from = header.dataOffset;
  while (const auto hit = reader.FindSignature(from, kStops, running)) {
    const std::uint64_t at = hit->offset;
    const std::uint64_t distance = at - header.dataOffset;
    if (hit->which == 0) {
      const auto descriptor = ReadDescriptor(reader, at);
      if (descriptor && (descriptor->compressedSize == distance ||
                         (descriptor->compressedSize & 0xFFFFFFFFu) == distance)) {
        EndAt(reader, entry, at, SizeEvidence::kDescriptor, true);
        return true;
      }
    } else {
      if (const auto descriptor = UnsignedDescriptorBefore(reader, at, header.dataOffset)) {
        entry.compressedSize = descriptor->compressedSize;
        entry.evidence = SizeEvidence::kDescriptor;
        TakeDescriptor(entry, *descriptor);
        return true;
      }
      if (!stored) return false;
    }
    if (stored && statedCrc && crc.UpTo(at) == *statedCrc) {
      EndAt(reader, entry, at, SizeEvidence::kCrcMatch, header.HasDescriptor());
      return true;
    }
    from = at + 1;
  }
  return false;
}

// Inflates the stream once to learn where it ends, its output kept (when kept is given) for
// extraction. A stream that breaks off keeps the range it decoded; one that yields nothing is
// no part.
bool EndByInflating(ScanReader& reader, const LocalHeader& header, PartEntry& entry,
                    KeptStreams* kept) {
  const std::uint64_t limit = reader.FileSize() - header.dataOffset;
  const auto result = kept ? kept->Inflate(reader, header.dataOffset, limit)
                           : zip::InflatePart(reader, header.dataOffset, limit, {});
  if (result.end == zip::InflateEnd::kStreamEnd) {
    EndAt(reader, entry, header.dataOffset + result.consumed, SizeEvidence::kStreamEnd,
          header.HasDescriptor());
    return true;
  }
  if (result.produced == 0) return false;
  entry.compressedSize = result.consumed;
  entry.endOffset = header.dataOffset + result.consumed;
  entry.evidence = result.end == zip::InflateEnd::kCutShort ? SizeEvidence::kEndOfFile
                                                            : SizeEvidence::kStreamEnd;
  entry.status = PartStatus::kCutShort;
  return true;
}

// A stored part whose stated size reaches past the end of the file was cut with it: what is
// there is kept, and nothing inside it is taken for a header.
bool EndByEndOfFile(ScanReader& reader, const LocalHeader& header, const CentralEntry* central,
                    PartEntry& entry) {
  for (const std::uint64_t size : StatedSizes(header, central)) {
    if (size == 0 || header.dataOffset + size <= reader.FileSize()) continue;
    entry.compressedSize = reader.FileSize() - header.dataOffset;
    entry.endOffset = reader.FileSize();
    entry.evidence = SizeEvidence::kEndOfFile;
    entry.status = PartStatus::kCutShort;
    return true;
  }
  return false;
}

// A stored part whose stated size lies within the file but is followed by no record: the
// size is kept as the best guess, and extraction's CRC-32 check tells whether it was right.
bool EndByUnconfirmedSize(const LocalHeader& header, const CentralEntry* central,
                          PartEntry& entry) {
  const auto sizes = StatedSizes(header, central);
  if (sizes.empty() || sizes.front() == 0) return false;
  entry.compressedSize = sizes.front();
  entry.endOffset = header.dataOffset + sizes.front();
  entry.evidence = SizeEvidence::kUnsized;
  return true;
}

bool FindEnd(ScanReader& reader, const LocalHeader& header, const CentralEntry* central,
             PartEntry& entry, const std::atomic<int>* running, KeptStreams* kept) {
  if (EndByStatedSize(reader, header, central, entry)) return true;
  switch (header.method) {
    case kMethodStored:
      return EndByStatedCrc(reader, header, central, entry) ||
             EndBySearch(reader, header, entry, running) ||
             EndByEndOfFile(reader, header, central, entry) ||
             EndByUnconfirmedSize(header, central, entry);
    case kMethodDeflated:
      return EndBySearch(reader, header, entry, running) ||
             EndByInflating(reader, header, entry, kept);
    default:
      return false;
  }
}

}  // namespace

Resolution ResolvePart(ScanReader& reader, const LocalHeader& header, const CentralEntry* central,
                       const std::atomic<int>* running, KeptStreams* kept) {
  Resolution resolution;
  const bool plausible = LooksLikeHeader(header);
  // Past the fields of a header that looks real; a byte on for random "PK\3\4" bytes.
  resolution.resume = plausible ? header.dataOffset : header.offset + 1;
  if (header.dataOffset > reader.FileSize()) return resolution;
  PartEntry entry = EntryFromHeader(header, central);
  const bool supported = header.method == kMethodStored || header.method == kMethodDeflated;
  if (FindEnd(reader, header, central, entry, running, kept)) {
    if (!supported) entry.status = PartStatus::kLost;
    resolution.resume = std::max(resolution.resume, entry.endOffset);
    resolution.part = std::move(entry);
    return resolution;
  }
  if (plausible) {
    entry.status = PartStatus::kLost;
    entry.endOffset = header.dataOffset;
    resolution.part = std::move(entry);
  }
  return resolution;
}

}  // namespace engine
