#include "platform/local_time.h"

namespace platform {

bool LocalTime(std::time_t moment, std::tm& fields) {
  return ::localtime_s(&fields, &moment) == 0;
}

}  // namespace platform
