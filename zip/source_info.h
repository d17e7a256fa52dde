// What the zip writer records about a source file besides its content: the external
// attributes, the DOS date and time and the three Unix times of the extended-timestamp field.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

#include "platform/file.h"

namespace zip {

struct SourceInfo {
  std::uint32_t externalAttributes = 0;
  // Date in the high 16 bits, time in the low 16 bits.
  std::uint32_t dosDateTime = 0;
  // Seconds since 1970-01-01 00:00 UTC, within 1970..2037 (see ClampedUnixTime).
  std::uint32_t modifyTime = 0;
  std::uint32_t accessTime = 0;
  std::uint32_t createTime = 0;
  std::uint64_t size = 0;
};

// Takes the time-zone rules in force now for the conversions below (safe beside them on other
// threads, which the C library's own tzset is not guaranteed to be).
void ReloadTimeZone();

// Reads the information of an open source file; nothing when its status cannot be read.
std::optional<SourceInfo> ReadSourceInfo(const platform::File& file);

// External attributes for a file or folder whose owner may or may not write to it: DOS bits in
// the low byte (read-only 0x01, folder 0x10, archive 0x20 for a file), Unix mode in the high 16.
std::uint32_t ExternalAttributes(bool isDirectory, bool ownerCanWrite);

// DOS date (high 16 bits) and time (low 16 bits) of a moment on the local clock. Moments before
// 1980 have no DOS form and give 1980-01-01 00:00; moments after 2107 give 2107-12-31 23:59:58.
std::uint32_t DosDateTime(std::time_t moment);

// The moment as local wall-clock fields, the year clamped to 1970..2037 (1 January 1970 or
// 31 December 2037, time of day kept), turned back into seconds as a local time with daylight
// saving taken as not in effect. Values before 1970 UTC (east of Greenwich) wrap as signed.
std::uint32_t ClampedUnixTime(std::time_t moment);

}  // namespace zip
