// Data whose local header was destroyed: the bytes between the parts the scan accepted are
// searched for a raw deflate stream (or, where the header's fields outlived its signature, stored
// data whose CRC-32 they confirm) that ends where the next record begins. What such data holds
// is identified by its content (see part_identity.h) and put back under the name that follows;
// data that tells no name is reported by its offset and left out.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/part_entry.h"
#include "engine/scan_reader.h"

namespace engine {

// Offsets tried for the start of a stream after the start of a gap, when what lies there does
// not read as the rest of a local header: a destroyed header's name and extra field rarely take
// more. Each try costs one short inflation, so this bounds the search in junk.
inline constexpr std::uint64_t kOrphanSearchSpan = 1024;
// Data larger than this once inflated is not held to be identified; it is reported by offset.
inline constexpr std::uint64_t kMaxOrphanSize = 256ull << 20;
// Streams shorter than this are not told apart from junk that happens to inflate.
inline constexpr std::uint64_t kMinOrphanStream = 16;

struct OrphanStream {
  std::uint64_t offset = 0;   // first byte of the data
  std::uint64_t end = 0;      // first byte after the data (and its descriptor)
  std::uint16_t method = 0;   // how the data was found: kMethodDeflated or kMethodStored
  std::string content;        // the data once inflated; empty when too large to keep
  bool tooLarge = false;      // content was not kept (kMaxOrphanSize)
  bool crcConfirmed = false;  // a CRC-32 the remains of its records state matches
};

// Finds the orphan streams of the package read by reader, whose scan found scanList.
std::vector<OrphanStream> FindOrphanStreams(ScanReader& reader, const ScanList& scanList,
                                            const std::atomic<int>* running = nullptr);

// What became of the orphan streams of one package.
struct OrphanRecovery {
  std::vector<std::pair<std::string, std::uint64_t>> identified;  // name (package form), offset
  std::vector<std::uint64_t> unidentified;                        // offsets of the data left out
};

// Finds the orphan streams of the package at packagePath and writes each one whose content tells
// its name into fileFolder under that name, never over a part already there.
OrphanRecovery RecoverOrphanStreams(const std::filesystem::path& fileFolder,
                                    std::string_view packagePath, const ScanList& scanList);

}  // namespace engine
