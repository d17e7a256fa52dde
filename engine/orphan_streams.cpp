#include "engine/orphan_streams.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>

#include "engine/central_directory.h"
#include "engine/package_scanner.h"
#include "engine/package_tree.h"
#include "engine/part_identity.h"
#include "engine/relationships_repair.h"
#include "engine/zip_records.h"
#include "platform/file.h"
#include "platform/text.h"
#include "zip/part_inflater.h"

namespace engine {
namespace {

struct Range {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;
};

// The bytes no accepted part (header, data, descriptor) and no intact central directory holds.
std::vector<Range> Gaps(ScanReader& reader, const ScanList& scanList,
                        const CentralDirectory& directory) {
  std::vector<Range> covered;
  for (const auto& entry : scanList) {
    covered.push_back({entry.headerOffset, std::max(entry.endOffset, entry.dataOffset)});
  }
  if (directory.intact) covered.push_back({directory.start, directory.end});
  std::sort(covered.begin(), covered.end(),
            [](const Range& a, const Range& b) { return a.begin < b.begin; });
  std::vector<Range> gaps;
  std::uint64_t at = 0;
  for (const auto& range : covered) {
    if (range.begin > at) gaps.push_back({at, range.begin});
    at = std::max(at, range.end);
  }
  if (at < reader.FileSize()) gaps.push_back({at, reader.FileSize()});
  return gaps;
}

// The fields of a local header whose signature was destroyed, when they still read as one: a
// known method, a printable name of a usual length, data that starts inside the gap.
std::optional<LocalHeader> RemnantHeader(ScanReader& reader, std::uint64_t at, std::uint64_t end) {
  const auto header = ReadLocalHeader(reader, at);
  if (!header || header->dataOffset > end) return std::nullopt;
  if ((header->version & 0xFF) > 63) return std::nullopt;
  if (header->method != kMethodStored && header->method != kMethodDeflated) return std::nullopt;
  if (header->name.empty() || header->name.size() > kMaxPartPathLength) return std::nullopt;
  for (const std::uint8_t byte : header->name) {
    if (byte < 0x20 || byte == 0x7F) return std::nullopt;
  }
  return header;
}

// True when data ending at offset is followed by what follows a part: a record, the end of the
// gap, or the remains of a destroyed header.
bool FollowedByRecord(ScanReader& reader, std::uint64_t offset, const Range& gap) {
  return offset == gap.end || IsRecordBoundary(reader, offset) ||
         RemnantHeader(reader, offset, gap.end).has_value();
}

// The CRC-32s the remains state for data at dataOffset: the directory's entry for the header,
// the header's own field.
std::vector<std::uint32_t> StatedCrcs(const std::optional<LocalHeader>& remnant,
                                      const CentralDirectory& directory) {
  std::vector<std::uint32_t> crcs;
  if (!remnant) return crcs;
  const auto listed = directory.entries.find(remnant->offset);
  if (listed != directory.entries.end()) crcs.push_back(listed->second.crc);
  if (!remnant->HasDescriptor() || remnant->crc != 0) crcs.push_back(remnant->crc);
  return crcs;
}

bool Contains(const std::vector<std::uint32_t>& crcs, std::uint32_t crc) {
  return std::find(crcs.begin(), crcs.end(), crc) != crcs.end();
}

// A deflate stream that starts at offset, ends inside the gap and is followed by a record.
std::optional<OrphanStream> StreamAt(ScanReader& reader, std::uint64_t offset, const Range& gap,
                                     const std::vector<std::uint32_t>& statedCrcs) {
  OrphanStream stream;
  stream.offset = offset;
  stream.method = kMethodDeflated;
  const auto result = zip::InflatePart(reader, offset, gap.end - offset, [&stream](auto piece) {
    if (stream.content.size() + piece.size() > kMaxOrphanSize) {
      stream.tooLarge = true;
      return true;  // decoded on to find the end, no longer kept
    }
    stream.content.append(reinterpret_cast<const char*>(piece.data()), piece.size());
    return true;
  });
  if (result.end != zip::InflateEnd::kStreamEnd || result.produced == 0 ||
      result.consumed < kMinOrphanStream) {
    return std::nullopt;
  }
  if (stream.tooLarge) stream.content.clear();
  const std::uint64_t dataEnd = offset + result.consumed;
  std::vector<std::uint32_t> crcs = statedCrcs;
  stream.end = dataEnd;
  // A descriptor (signed, or unsigned where no record follows at once) may stand between the
  // data and the next record.
  Signature signature{};
  const bool signedThere = reader.ReadAt(dataEnd, signature) == signature.size() &&
                           signature == kDataDescriptorSignature;
  const auto descriptor = signedThere || !FollowedByRecord(reader, dataEnd, gap)
                              ? ReadDescriptor(reader, dataEnd)
                              : std::nullopt;
  if (descriptor && descriptor->end <= gap.end && FollowedByRecord(reader, descriptor->end, gap)) {
    crcs.push_back(descriptor->crc);
    stream.end = descriptor->end;
  } else if (!FollowedByRecord(reader, dataEnd, gap)) {
    return std::nullopt;
  }
  stream.crcConfirmed = Contains(crcs, result.crc);
  return stream;
}

// Stored data under a header whose fields survived: its end is a size the fields (or the
// directory, or a descriptor) state, and its bytes must match a CRC-32 they state.
std::optional<OrphanStream> StoredAt(ScanReader& reader, const LocalHeader& remnant,
                                     const Range& gap, const CentralDirectory& directory) {
  std::vector<std::pair<std::uint64_t, std::uint32_t>> ends;  // data end, CRC-32 it must have
  const auto crcs = StatedCrcs(remnant, directory);
  std::vector<std::uint64_t> sizes;
  const auto listed = directory.entries.find(remnant.offset);
  if (listed != directory.entries.end()) sizes.push_back(listed->second.compressedSize);
  for (const std::uint32_t size : {remnant.compressedSize, remnant.uncompressedSize}) {
    if (size != 0 && size != kZip64Marker) sizes.push_back(size);
  }
  for (const auto size : sizes) {
    for (const auto crc : crcs)
      ends.push_back({remnant.dataOffset + size, crc});
  }
  if (const auto descriptor = UnsignedDescriptorBefore(reader, gap.end, remnant.dataOffset)) {
    ends.push_back({remnant.dataOffset + descriptor->compressedSize, descriptor->crc});
  }
  static constexpr std::array<Signature, 1> kDescriptor{kDataDescriptorSignature};
  std::uint64_t from = remnant.dataOffset;
  while (const auto hit = reader.FindSignature(from, kDescriptor, nullptr)) {
    if (hit->offset >= gap.end) break;
    const auto descriptor = ReadDescriptor(reader, hit->offset);
    if (descriptor && descriptor->compressedSize == hit->offset - remnant.dataOffset) {
      ends.push_back({hit->offset, descriptor->crc});
    }
    from = hit->offset + 1;
  }
  for (const auto& [dataEnd, crc] : ends) {
    if (dataEnd <= remnant.dataOffset || dataEnd > gap.end) continue;
    const std::uint64_t size = dataEnd - remnant.dataOffset;
    if (size > kMaxOrphanSize) continue;
    OrphanStream stream;
    stream.offset = remnant.dataOffset;
    stream.method = kMethodStored;
    stream.content.resize(static_cast<std::size_t>(size));
    auto* bytes = reinterpret_cast<std::uint8_t*>(stream.content.data());
    if (reader.ReadAt(stream.offset, {bytes, stream.content.size()}) != size) continue;
    if (zip::Crc32(0, {bytes, stream.content.size()}) != crc) continue;
    stream.end = dataEnd;
    const auto descriptor = ReadDescriptor(reader, dataEnd);
    if (descriptor && descriptor->crc == crc && descriptor->end <= gap.end)
      stream.end = descriptor->end;
    if (!FollowedByRecord(reader, stream.end, gap) && !FollowedByRecord(reader, dataEnd, gap)) {
      continue;
    }
    stream.crcConfirmed = true;
    return stream;
  }
  return std::nullopt;
}

// The first orphan stream at or after from in the gap.
std::optional<OrphanStream> NextStream(ScanReader& reader, std::uint64_t from, const Range& gap,
                                       const CentralDirectory& directory,
                                       const std::atomic<int>* running) {
  if (const auto remnant = RemnantHeader(reader, from, gap.end)) {
    // The header's own fields say where its data starts: the one place to look.
    if (remnant->method == kMethodStored) return StoredAt(reader, *remnant, gap, directory);
    return StreamAt(reader, remnant->dataOffset, gap, StatedCrcs(remnant, directory));
  }
  const std::uint64_t last = std::min(gap.end, from + kOrphanSearchSpan);
  for (std::uint64_t offset = from; offset + kMinOrphanStream <= gap.end && offset < last;
       ++offset) {
    if (running && running->load(std::memory_order_relaxed) == 0) return std::nullopt;
    if (auto stream = StreamAt(reader, offset, gap, {})) return stream;
  }
  return std::nullopt;
}

PackageKnowledge KnowledgeOf(const std::filesystem::path& fileFolder) {
  PackageKnowledge knowledge;
  knowledge.present = ListPackageParts(fileFolder);
  for (const auto& part : knowledge.present) {
    if (PartExtension(part) != "rels") continue;
    const auto text = ReadPart(fileFolder, part);
    if (!text) continue;
    if (auto relationships = ParseRelationships(*text)) {
      knowledge.relationships.emplace_back(part, std::move(*relationships));
    }
  }
  return knowledge;
}

// Names the streams whose kind is in the given pass, writing each named one into the tree.
void NamePass(const std::filesystem::path& fileFolder, std::vector<OrphanStream>& streams,
              std::vector<ContentIdentity>& identities, std::vector<bool>& done,
              PackageKnowledge& knowledge, bool structural, OrphanRecovery& recovery) {
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const PartKind kind = identities[i].kind;
    const bool isStructural = kind == PartKind::kContentTypes || kind == PartKind::kRelationships;
    if (done[i] || isStructural != structural || streams[i].tooLarge) continue;
    const auto name = NameForContent(identities[i], streams[i].content, knowledge);
    if (!name || !WritePart(fileFolder, *name, streams[i].content)) continue;
    done[i] = true;
    knowledge.present.insert(*name);
    if (kind == PartKind::kRelationships) {
      if (auto relationships = ParseRelationships(streams[i].content)) {
        knowledge.relationships.emplace_back(*name, std::move(*relationships));
      }
    }
    recovery.identified.emplace_back(*name, streams[i].offset);
  }
}

}  // namespace

std::vector<OrphanStream> FindOrphanStreams(ScanReader& reader, const ScanList& scanList,
                                            const std::atomic<int>* running) {
  const CentralDirectory directory = ReadCentralDirectory(reader);
  std::vector<OrphanStream> streams;
  for (const auto& gap : Gaps(reader, scanList, directory)) {
    std::uint64_t from = gap.begin;
    // A gap that begins with a record the scan passed over (a central directory that is not
    // intact, an end record) holds no part's data.
    while (from < gap.end && !IsRecordBoundary(reader, from)) {
      auto stream = NextStream(reader, from, gap, directory, running);
      if (!stream) break;
      from = stream->end;
      streams.push_back(std::move(*stream));
    }
  }
  return streams;
}

OrphanRecovery RecoverOrphanStreams(const std::filesystem::path& fileFolder,
                                    std::string_view packagePath, const ScanList& scanList) {
  OrphanRecovery recovery;
  platform::File package;
  if (!package.Open(platform::PathFromUtf8(packagePath), platform::File::Mode::kRead)) {
    return recovery;
  }
  const std::int64_t size = package.Size();
  if (size <= 0 || !package.Seek(0)) return recovery;
  std::vector<OrphanStream> streams;
  try {
    ScanReader reader(package, static_cast<std::uint64_t>(size), kScanBufferSize);
    streams = FindOrphanStreams(reader, scanList);
  } catch (const std::bad_alloc&) {
    return recovery;
  }
  std::vector<ContentIdentity> identities;
  for (const auto& stream : streams)
    identities.push_back(IdentifyContent(stream.content));
  std::vector<bool> done(streams.size(), false);
  PackageKnowledge knowledge = KnowledgeOf(fileFolder);
  // Content types and relationships first: the relationships tell the other parts' names.
  NamePass(fileFolder, streams, identities, done, knowledge, true, recovery);
  NamePass(fileFolder, streams, identities, done, knowledge, false, recovery);
  for (std::size_t i = 0; i < streams.size(); ++i) {
    if (!done[i]) recovery.unidentified.push_back(streams[i].offset);
  }
  return recovery;
}

}  // namespace engine
