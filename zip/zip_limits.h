// The bounds of the zip format as this writer writes it (32-bit sizes and offsets, 16-bit entry
// counts, no zip64). Tests lower them to reach the refusals without writing gigabytes.
#pragma once

#include <cstdint>
#include <string>

#include "zip/zip_writer.h"

namespace zip {

struct ZipLimits {
  std::uint64_t maxEntries = 0xFFFF;
  std::uint64_t maxSize = 0xFFFFFFFF;    // compressed and uncompressed size of one entry
  std::uint64_t maxOffset = 0xFFFFFFFF;  // local header offsets, central directory offset/size
};

// A source that stops giving bytes part-way, as a failing disk does: reads of every source whose
// path ends in pathSuffix fail once `after` of its bytes have been read.
struct ZipReadFault {
  std::string pathSuffix;
  std::uint64_t after = 0;
};

// Replaces the limits of an open writer; false for a null or wrong handle.
bool SetZipLimitsForTesting(ZipHandle* handle, const ZipLimits& limits);
// Makes reads of matching sources of an open writer fail; false for a null or wrong handle.
bool SetZipReadFaultForTesting(ZipHandle* handle, ZipReadFault fault);

}  // namespace zip
