// The permissions a new file of the user's gets, for files that were first made private.
#pragma once

#include "platform/file.h"

namespace platform {

// Gives the open file the permissions a file created the ordinary way would get now: 0666 less
// the process's umask on POSIX. Meant for a file made owner-only while it was written (a
// temporary file that becomes a saved package). False when the system refuses; the file then
// keeps its owner-only permissions. Nothing to do on Windows, where files inherit their
// folder's access rules.
bool GiveUsualPermissions(File& file);

}  // namespace platform
