#include "platform/local_time.h"

namespace platform {

bool LocalTime(std::time_t moment, std::tm& fields) {
  return ::localtime_r(&moment, &fields) != nullptr;
}

}  // namespace platform
