// Decides where one part found by the scanner ends and what its sizes and CRC-32 are, from the
// evidence the package holds: stated sizes count only when a record boundary follows the data;
// otherwise a data descriptor whose size is its distance from the data, a matching CRC-32 at a
// later signature (stored parts) or the end of the deflate stream itself (deflated parts).
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "engine/central_directory.h"
#include "engine/kept_streams.h"
#include "engine/part_entry.h"
#include "engine/scan_reader.h"
#include "engine/zip_records.h"

namespace engine {

struct Resolution {
  // The part, when the header is one: with the byte range it takes (headers inside it are not
  // headers), or marked lost when nothing of it can be recovered.
  std::optional<PartEntry> part;
  std::uint64_t resume = 0;  // where the search for the next header goes on
};

// central is the directory's entry for this header, when the directory is intact and lists it.
// kept, when given, keeps the output of a stream inflated to find its end.
Resolution ResolvePart(ScanReader& reader, const LocalHeader& header, const CentralEntry* central,
                       const std::atomic<int>* running, KeptStreams* kept = nullptr);

}  // namespace engine
