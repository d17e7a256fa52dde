// The bounds of the zip format as this writer writes it (32-bit sizes and offsets, 16-bit entry
// counts, no zip64). Tests lower them to reach the refusals without writing gigabytes.
#pragma once

#include <cstdint>

#include "zip/zip_writer.h"

namespace zip {

struct ZipLimits {
  std::uint64_t maxEntries = 0xFFFF;
  std::uint64_t maxSize = 0xFFFFFFFF;    // compressed and uncompressed size of one entry
  std::uint64_t maxOffset = 0xFFFFFFFF;  // local header offsets, central directory offset/size
};

// Replaces the limits of an open writer; false for a null or wrong handle.
bool SetZipLimitsForTesting(ZipHandle* handle, const ZipLimits& limits);

}  // namespace zip
