#include "engine/part_resolver.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "engine/package_scanner.h"
#include "zip/little_endian.h"

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

// How likely a header's name bytes are a name a writer gave. Control bytes are in no name; bytes
// that are no UTF-8 are odd but occur (a name written one byte per character, as our own packer
// does for names read that way); valid UTF-8 without control bytes is what writers give.
enum class NameLooks { kDestroyed, kOdd, kPlausible };

bool IsUtf8(std::span<const std::uint8_t> name) {
  std::size_t i = 0;
  while (i < name.size()) {
    const std::uint8_t lead = name[i];
    std::size_t more = 0;
    if (lead >= 0xC2 && lead <= 0xDF) more = 1;
    if (lead >= 0xE0 && lead <= 0xEF) more = 2;
    if (lead >= 0xF0 && lead <= 0xF4) more = 3;
    if (lead >= 0x80 && (more == 0 || i + more >= name.size())) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      if ((name[i + k] & 0xC0) != 0x80) return false;
    }
    i += more + 1;
  }
  return true;
}

// Names end at their first NUL byte (they were C strings): what follows is not judged.
NameLooks JudgeName(std::span<const std::uint8_t> bytes) {
  const auto nul = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  const auto name = bytes.first(static_cast<std::size_t>(nul - bytes.begin()));
  for (const std::uint8_t byte : name) {
    if (byte < 0x20 || byte == 0x7F) return NameLooks::kDestroyed;
  }
  return IsUtf8(name) ? NameLooks::kPlausible : NameLooks::kOdd;
}

// A 32-bit header field agrees with the directory's value when it states the same, or when it
// only says "see the descriptor" or "see the zip64 field" (and that field agrees).
bool FieldAgrees(std::uint32_t field, std::optional<std::uint64_t> zip64, std::uint64_t central,
                 bool descriptor) {
  // A writer that streams puts zeros in the zip64 field as in the plain one: the sizes follow the
  // data then.
  if (field == kZip64Marker) return !zip64 || *zip64 == central || (descriptor && *zip64 == 0);
  return field == central || (descriptor && field == 0);
}

// The header and the directory's entry for its offset describe the same data: the header's
// name bytes alone differ, so the directory's name is the part's.
bool HeaderAgreesWith(const LocalHeader& header, const CentralEntry& central) {
  const bool descriptor = header.HasDescriptor();
  return header.method == central.method && header.name.size() == central.name.size() &&
         (header.crc == central.crc || (descriptor && header.crc == 0)) &&
         FieldAgrees(header.compressedSize, header.zip64Compressed, central.compressedSize,
                     descriptor) &&
         FieldAgrees(header.uncompressedSize, header.zip64Uncompressed, central.uncompressedSize,
                     descriptor);
}

// The name a found part goes under. A header whose name differs from what the intact directory
// lists at its offset had one of the two names damaged: the one that looks more like a name a
// writer gives is taken (the directory's only when the rest of the header agrees with the
// directory; extraction then checks the data against the directory's CRC-32). When nothing tells
// which is the original, or the only name there is looks destroyed, the data is not given a name
// that may not be its own: the part is reported as not recovered.
void SettleName(const LocalHeader& header, const CentralEntry* central, PartEntry& entry) {
  const NameLooks own = JudgeName(header.name);
  if (!central || central->name == header.name) {
    if (own == NameLooks::kDestroyed) entry.status = PartStatus::kLost;
    // An odd name with nothing to confirm it (no directory entry spelling it the same) may be
    // a damaged one: the part is kept under it, but not claimed whole.
    if (own == NameLooks::kOdd && !central && entry.status == PartStatus::kWhole) {
      entry.status = PartStatus::kDamaged;
    }
    return;
  }
  const NameLooks listed = JudgeName(central->name);
  if (listed > own && HeaderAgreesWith(header, *central)) {
    entry.partPath = PartPathFromNameBytes(central->name);
  } else if (listed >= own) {
    entry.status = PartStatus::kLost;
  }
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
// no part. A stream that ends but whose bytes do not match the CRC-32 found for it decoded bytes
// that were not its own (a sector out of place): its range is then in doubt.
bool EndByInflating(ScanReader& reader, const LocalHeader& header, PartEntry& entry,
                    bool& rangeInDoubt, KeptStreams* kept) {
  const std::uint64_t limit = reader.FileSize() - header.dataOffset;
  const auto result = kept ? kept->Inflate(reader, header.dataOffset, limit)
                           : zip::InflatePart(reader, header.dataOffset, limit, {});
  if (result.end == zip::InflateEnd::kStreamEnd) {
    EndAt(reader, entry, header.dataOffset + result.consumed, SizeEvidence::kStreamEnd,
          header.HasDescriptor());
    rangeInDoubt = entry.crc && *entry.crc != result.crc;
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

constexpr std::uint64_t kEndRecordSize = 22;

bool SignatureAt(ScanReader& reader, std::uint64_t offset, const Signature& wanted) {
  Signature signature{};
  return reader.ReadAt(offset, signature) == signature.size() && signature == wanted;
}

constexpr std::uint64_t kEmbeddedShiftAllowed = 16 * 1024;

struct EmbeddedEnd {
  std::optional<std::uint64_t> exact;    // the end record places the package's start there
  std::optional<std::uint64_t> shifted;  // it places it a little off, not before headerOffset
                                         // unless another end record follows (the package's own)
};

// Where the package whose first local header is at start ends: after the end record (and its
// comment) whose directory size and offset place the package's start there. Bytes cut out of
// it or put into it (a chunk lost, line ends converted) move its directory and so the start
// the end record gives: the first end record that gives a start a little off is kept too.
EmbeddedEnd EmbeddedEndRecordEnd(ScanReader& reader, std::uint64_t start,
                                 std::uint64_t headerOffset, const std::atomic<int>* running) {
  static constexpr std::array<Signature, 1> kEnd{kEndRecordSignature};
  EmbeddedEnd found;
  std::optional<std::uint64_t> candidateAt;
  std::optional<std::uint64_t> lastEndRecord;
  std::uint64_t from = start;
  while (const auto hit = reader.FindSignature(from, kEnd, running)) {
    std::array<std::uint8_t, kEndRecordSize> bytes{};
    from = hit->offset + 1;
    if (reader.ReadAt(hit->offset, bytes) != bytes.size()) continue;
    lastEndRecord = hit->offset;
    zip::LittleEndianReader fields(bytes);
    fields.Skip(12);  // signature, disk numbers, entry counts
    const std::uint64_t stated = fields.Get32() + static_cast<std::uint64_t>(fields.Get32());
    const std::uint64_t end = hit->offset + kEndRecordSize + fields.Get16();
    if (stated > hit->offset || end > reader.FileSize()) continue;
    const std::uint64_t packageStart = hit->offset - stated;
    if (packageStart == start) {
      found.exact = end;
      return found;
    }
    const std::uint64_t off = packageStart > start ? packageStart - start : start - packageStart;
    if (!found.shifted && off <= kEmbeddedShiftAllowed) {
      found.shifted = end;
      candidateAt = packageStart > headerOffset ? std::nullopt : std::optional(hit->offset);
    }
  }
  // A start before the outer header is taken only from an end record that is not the last one
  // of the file: the last may be the package's own, whose parts start near the embedded one.
  if (candidateAt && lastEndRecord == candidateAt) found.shifted.reset();
  return found;
}

struct EmbeddedRecords {
  bool reachEndOfFile = false;  // the file was cut inside that package
  std::uint64_t end = 0;        // where the records stop following one another
};

// How far the records of the package that begins at start follow one another, by the sizes
// their headers state.
EmbeddedRecords WalkEmbeddedRecords(ScanReader& reader, std::uint64_t start,
                                    const std::atomic<int>* running) {
  EmbeddedRecords walk{.reachEndOfFile = true, .end = start};
  std::uint64_t& at = walk.end;
  std::optional<std::uint64_t> recordStart;
  while (at < reader.FileSize()) {
    if (SignatureAt(reader, at, kCentralHeaderSignature)) {
      // In its directory: every part's data came before. Cut there unless a header follows.
      if (const auto end = CentralHeaderEnd(reader, at)) {
        at = *end;
        continue;
      }
      static constexpr std::array<Signature, 1> kHeader{kLocalHeaderSignature};
      walk.reachEndOfFile = !reader.FindSignature(at, kHeader, running);
      return walk;
    }
    if (!SignatureAt(reader, at, kLocalHeaderSignature)) {
      walk.reachEndOfFile = reader.FileSize() - at < kLocalHeaderSignature.size();
      // The last record's size led to no record: only its header is known to be inside.
      if (!walk.reachEndOfFile && recordStart) at = *recordStart + 1;
      return walk;
    }
    recordStart = at;
    const auto header = ReadLocalHeader(reader, at);
    if (!header) return walk;  // the header itself is cut
    const std::uint64_t size = header->zip64Compressed.value_or(header->compressedSize);
    const bool unsized =
        header->compressedSize == kZip64Marker && !header->zip64Compressed.has_value();
    if (header->HasDescriptor() || unsized) {
      walk.reachEndOfFile = false;  // no size to walk by
      return walk;
    }
    if (size >= reader.FileSize() - std::min(reader.FileSize(), header->dataOffset)) return walk;
    at = header->dataOffset + size;
  }
  return walk;
}

// A stored part whose data is a whole package (an embedded .xlsx, say) and whose end nothing
// else tells: its range runs to the end record of that package, or, when the file was cut
// inside that package, to the end of the file. Either way the headers of the package inside
// are within the part and never taken for the package's own.
bool EndByEmbeddedPackage(ScanReader& reader, const LocalHeader& header, PartEntry& entry,
                          const std::atomic<int>* running) {
  if (!SignatureAt(reader, header.dataOffset, kLocalHeaderSignature)) return false;
  const EmbeddedEnd end = EmbeddedEndRecordEnd(reader, header.dataOffset, header.offset, running);
  if (end.exact) {
    EndAt(reader, entry, *end.exact, SizeEvidence::kEmbedded, header.HasDescriptor());
    return true;
  }
  if (WalkEmbeddedRecords(reader, header.dataOffset, running).reachEndOfFile) {
    entry.compressedSize = reader.FileSize() - header.dataOffset;
    entry.endOffset = reader.FileSize();
    entry.evidence = SizeEvidence::kEndOfFile;
    entry.status = PartStatus::kCutShort;
    return true;
  }
  if (!end.shifted) return false;
  EndAt(reader, entry, *end.shifted, SizeEvidence::kEmbedded, header.HasDescriptor());
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
             PartEntry& entry, const std::atomic<int>* running, bool& rangeInDoubt,
             KeptStreams* kept) {
  if (EndByStatedSize(reader, header, central, entry)) return true;
  switch (header.method) {
    case kMethodStored:
      return EndByStatedCrc(reader, header, central, entry) ||
             EndBySearch(reader, header, entry, running) ||
             EndByEmbeddedPackage(reader, header, entry, running) ||
             EndByEndOfFile(reader, header, central, entry) ||
             EndByUnconfirmedSize(header, central, entry);
    case kMethodDeflated:
      return EndBySearch(reader, header, entry, running) ||
             EndByInflating(reader, header, entry, rangeInDoubt, kept);
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
  bool rangeInDoubt = false;
  if (FindEnd(reader, header, central, entry, running, rangeInDoubt, kept)) {
    if (!supported) entry.status = PartStatus::kLost;
    SettleName(header, central, entry);
    // A deflated stream that runs on past where the next record should begin (a cut or damage
    // inside it) decodes the bytes of the parts after it as its own: its range then hides no
    // header, and the search goes on inside it. Compressed bytes rarely hold one by chance.
    // So does a stored part kept at a stated size that nothing confirmed, unless it holds a
    // package of its own, whose headers must stay inside it.
    const bool overran = rangeInDoubt ||
                         (header.method == kMethodDeflated &&
                          (entry.evidence == SizeEvidence::kStreamEnd ||
                           entry.evidence == SizeEvidence::kEndOfFile) &&
                          !IsRecordBoundary(reader, entry.endOffset)) ||
                         (entry.evidence == SizeEvidence::kUnsized &&
                          !SignatureAt(reader, header.dataOffset, kLocalHeaderSignature));
    if (!overran) resolution.resume = std::max(resolution.resume, entry.endOffset);
    resolution.part = std::move(entry);
    return resolution;
  }
  if (plausible) {
    entry.status = PartStatus::kLost;
    entry.endOffset = header.dataOffset;
    resolution.part = std::move(entry);
    // A lost stored part that begins with a package of its own: the records of that package
    // that follow one another from its first byte are inside the part, whatever came after.
    if (header.method == kMethodStored &&
        SignatureAt(reader, header.dataOffset, kLocalHeaderSignature)) {
      resolution.resume =
          std::max(resolution.resume, WalkEmbeddedRecords(reader, header.dataOffset, running).end);
    }
  }
  return resolution;
}

}  // namespace engine
