#include <windows.h>

#include "platform/file.h"

namespace platform {

// A new file inherits its folder's access rules, which is what a saved package should have.
bool File::GiveUsualPermissions() {
  if (handle_ == kNoHandle) {
    detail::RecordSystemError(ERROR_INVALID_HANDLE);
    return false;
  }
  return true;
}

}  // namespace platform
