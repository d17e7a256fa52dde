#include "platform/local_time.h"

namespace platform {
namespace {

// The C runtime converts no moment before 1970. The Gregorian calendar repeats itself every
// 28 years between 1901 and 2099 (weekdays and leap days alike), so such a moment is converted
// 28 years later and its year moved back.
constexpr std::time_t kTwentyEightYears = (28 * 365 + 7) * std::time_t{86400};
constexpr int kEarliestRepeatYear = 1901 - 1900;

}  // namespace

bool LocalTime(std::time_t moment, std::tm& fields) {
  int yearsBack = 0;
  while (moment < 0 && yearsBack < 28 * 3) {
    moment += kTwentyEightYears;
    yearsBack += 28;
  }
  if (::localtime_s(&fields, &moment) != 0) return false;
  fields.tm_year -= yearsBack;
  return fields.tm_year >= kEarliestRepeatYear || yearsBack == 0;
}

}  // namespace platform
