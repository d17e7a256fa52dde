// The local clock's reading of a moment, as the system's time-zone rules give it.
#pragma once

#include <ctime>

namespace platform {

// The moment as local wall-clock fields; false when the system cannot convert it (a moment
// outside its range). Safe to call from several threads at once.
bool LocalTime(std::time_t moment, std::tm& fields);

}  // namespace platform
