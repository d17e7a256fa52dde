#include "platform/file.h"

#include <utility>

// The parts of File that are the same on every system; the system calls live in
// file_posix.cpp and file_win.cpp.
namespace platform {

File::~File() {
  Close();
}

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
  }
  return *this;
}

}  // namespace platform
