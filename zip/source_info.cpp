#include "zip/source_info.h"

#include <algorithm>
#include <mutex>

#include "platform/local_time.h"

namespace zip {
namespace {

constexpr std::uint32_t kDosReadOnly = 0x01;
constexpr std::uint32_t kDosDirectory = 0x10;
constexpr std::uint32_t kDosArchive = 0x20;
constexpr std::uint32_t kUnixDirectory = 0x4000;
constexpr std::uint32_t kUnixFile = 0x8000;
constexpr std::uint32_t kUnixOwnerRead = 0x0100;
constexpr std::uint32_t kUnixOwnerWrite = 0x0080;

constexpr std::uint32_t kDosEarliest = (((1980 - 1980) << 9 | 1 << 5 | 1) << 16) | 0;
constexpr std::uint32_t kDosLatest =
    (((2107 - 1980) << 9 | 12 << 5 | 31) << 16) | (23 << 11 | 59 << 5 | 29);

// The C library's time-zone state is process-wide, and the conversions read (and may reload)
// it; sources are read on several threads at once, so the conversions take turns.
std::mutex& TimeZoneMutex() {
  static std::mutex mutex;
  return mutex;
}

bool LocalFields(std::time_t moment, std::tm& fields) {
  const std::lock_guard lock(TimeZoneMutex());
  return platform::LocalTime(moment, fields);
}

std::time_t SecondsOfLocal(std::tm& fields) {
  const std::lock_guard lock(TimeZoneMutex());
  return std::mktime(&fields);
}

}  // namespace

void ReloadTimeZone() {
  const std::lock_guard lock(TimeZoneMutex());
  tzset();
}

std::uint32_t ExternalAttributes(bool isDirectory, bool ownerCanWrite) {
  std::uint32_t dos = isDirectory ? kDosDirectory : kDosArchive;
  std::uint32_t mode = (isDirectory ? kUnixDirectory : kUnixFile) | kUnixOwnerRead;
  if (ownerCanWrite) {
    mode |= kUnixOwnerWrite;
  } else {
    dos |= kDosReadOnly;
  }
  return mode << 16 | dos;
}

std::uint32_t DosDateTime(std::time_t moment) {
  std::tm fields{};
  if (!LocalFields(moment, fields)) return kDosEarliest;
  const int year = fields.tm_year + 1900;
  if (year < 1980) return kDosEarliest;
  if (year > 2107) return kDosLatest;
  const auto date =
      static_cast<std::uint32_t>((year - 1980) << 9 | (fields.tm_mon + 1) << 5 | fields.tm_mday);
  // A leap second (60) has no DOS form; 59 keeps the two-second step in range.
  const int second = std::min(fields.tm_sec, 59);
  const auto time =
      static_cast<std::uint32_t>(fields.tm_hour << 11 | fields.tm_min << 5 | second / 2);
  return date << 16 | time;
}

std::uint32_t ClampedUnixTime(std::time_t moment) {
  std::tm fields{};
  if (!LocalFields(moment, fields)) return 0;
  if (fields.tm_year < 70) {
    fields.tm_year = 70;
    fields.tm_mon = 0;
    fields.tm_mday = 1;
  } else if (fields.tm_year > 137) {
    fields.tm_year = 137;
    fields.tm_mon = 11;
    fields.tm_mday = 31;
  }
  fields.tm_isdst = 0;
  const std::time_t seconds = SecondsOfLocal(fields);
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(seconds));
}

std::optional<SourceInfo> ReadSourceInfo(const platform::File& file) {
  const auto status = file.Status();
  if (!status) return std::nullopt;
  SourceInfo info;
  info.externalAttributes = ExternalAttributes(status->isDirectory, status->ownerCanWrite);
  info.dosDateTime = DosDateTime(status->modifyTime);
  info.modifyTime = ClampedUnixTime(status->modifyTime);
  info.accessTime = ClampedUnixTime(status->accessTime);
  info.createTime = ClampedUnixTime(status->createTime);
  info.size = status->size;
  return info;
}

}  // namespace zip
