// Why the last call of this layer failed, in the system's words or ours.
//
// Every function of the platform layer that fails records its reason for the calling thread
// before it returns; reading the reason later is safe even when other library calls (which may
// change errno or GetLastError) ran in between.
#pragma once

#include <string>
#include <system_error>

namespace platform {

// The reason of the last failure recorded on this thread: the system's text ("No such file or
// directory", "The system cannot find the file specified.") or one of ours ("not a regular
// file").
std::string LastErrorText();

// True when the last failure recorded on this thread was a name that already exists.
bool LastErrorWasAlreadyExists();

// The text of an error code, as std::filesystem and the system report them.
std::string ErrorText(const std::error_code& error);

namespace detail {
// For the implementations: record a system error number (errno here, GetLastError on
// Windows) or a reason of our own as this thread's last failure.
void RecordSystemError(int code);
void RecordFailure(std::string reason);
// Implemented once per system.
std::string SystemErrorText(int code);
bool IsAlreadyExistsCode(int code);
}  // namespace detail

}  // namespace platform
