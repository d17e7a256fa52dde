// Packs one file folder into a saved package without ever leaving a damaged or partial file
// under the package's name.
#pragma once

#include <filesystem>

#include "engine/save_outcome.h"

namespace engine {

// Packs fileFolder into a fresh temporary file beside target (".<target name>.<unique>.tmp",
// created exclusively and written through the handle that created it) and renames it onto
// target only when the packer reports the archive complete and closed with every file in it.
// On any failure the temporary file is deleted and an existing target stays untouched; the
// result says why, with the system's text where a system call failed.
SaveResult SavePackage(const std::filesystem::path& fileFolder,
                       const std::filesystem::path& target);
// The same with deflateThreads worker threads instead of zip::DeflateThreadCount(); the package
// is byte for byte the same.
SaveResult SavePackage(const std::filesystem::path& fileFolder, const std::filesystem::path& target,
                       unsigned deflateThreads);

}  // namespace engine
