#include "zip/deflate_threads.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace zip {
namespace {

constexpr unsigned kMostThreads = 64;

}  // namespace

unsigned DeflateThreadCount() {
  if (const char* text = std::getenv("DOTM_REPAIR_THREADS")) {
    const std::string_view value(text);
    unsigned count = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), count);
    if (error == std::errc() && end == value.data() + value.size() && count >= 1 &&
        count <= kMostThreads) {
      return count;
    }
  }
  // hardware_concurrency() is 0 when the system does not say.
  return std::max(1u, std::min(std::thread::hardware_concurrency(), kMostThreads));
}

}  // namespace zip
