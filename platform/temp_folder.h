// The user's private temporary folder and unique temporary files in it.
//
// Everything the program writes while it works (the working folder, one temporary file per
// inflated part) lives below a folder that only the current user can enter. A fixed name in a
// shared temporary folder would let another local user plant a symbolic link there and
// redirect our writes and deletions.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace platform {

// The system's temporary folder: $TMPDIR when set, else /tmp (GetTempPathW on Windows, which
// takes %TMP%, then %TEMP%, then the user's profile folder).
std::filesystem::path SystemTempFolder();

// The name of the environment variable SystemTempFolder takes first ("TMPDIR"; "TMP" on
// Windows), for tests and tools that point the program elsewhere.
std::string_view TempFolderVariable();

// The name of the user's private temporary folder: "brenvik-dotm-repair-" followed by the
// user's number (the user's name on Windows).
std::string PrivateTempFolderName();

// The user's private temporary folder, PrivateTempFolderName() below the system temporary
// folder, created with owner-only permissions when missing. Refused (nothing, with a reason in
// *error when given) when it is a symbolic link, not a folder, or belongs to another user.
std::optional<std::filesystem::path> PrivateTempFolder(std::string* error = nullptr);

// Makes sure that path is a folder that the current user owns and only they can enter:
// creates it (mode 0700) when missing, tightens its mode when we own it, refuses a symbolic
// link or another user's folder. On Windows, where the user's temporary folder is already
// theirs alone, it refuses links (reparse points) and files.
bool EnsurePrivateFolder(const std::filesystem::path& path, std::string* error = nullptr);

struct TempFile {
  std::filesystem::path path;
  File file;  // open for reading and writing
};

// Creates a new, empty file named prefix + unique hexadecimal number + ".tmp" in folder,
// owner-only, never reusing an existing name. Nothing on failure, and nothing when folder is
// empty (which would mean the current folder).
std::optional<TempFile> CreateTempFile(const std::filesystem::path& folder,
                                       std::string_view prefix);

// Creates a new, empty folder named prefix + unique hexadecimal number in parent; nothing on
// failure.
std::optional<std::filesystem::path> CreateUniqueFolder(const std::filesystem::path& parent,
                                                        std::string_view prefix);

}  // namespace platform
