// Writes every part of the scan list into a package's file folder: stored parts copied,
// deflated parts inflated through an "OPC" temporary file; then the content types are restored.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "engine/job_view.h"
#include "engine/part_entry.h"

namespace engine {

// The part's place below the file folder: its name split at '\\' and '/', with ':' removed and
// empty, "." and ".." components dropped, so that no name can reach outside the file folder.
// Nothing when no component is left.
std::optional<std::filesystem::path> SafePartPath(std::wstring_view partPath);

// Creates the folders of relativePath below fileFolder, shallowest first. A level that cannot be
// created shows the system's error text through the view and the next level is tried.
// Returns true when the path has at least one folder level.
bool MakePartFolders(JobView& view, const std::filesystem::path& fileFolder,
                     const std::filesystem::path& relativePath);

// Writes one part of the package to outputPath. tempFolder holds the "OPC" temporary file of a
// deflated part. Returns true when the output file was written.
bool ExtractPart(const std::filesystem::path& packagePath, const std::filesystem::path& outputPath,
                 const PartEntry& entry, const std::filesystem::path& tempFolder);

// Extracts every listed part into fileFolder, drives the file-progress bar, then restores
// [Content_Types].xml. Returns the number of listed parts that were written.
std::size_t ExtractParts(JobView& view, const std::filesystem::path& fileFolder,
                         std::string_view packagePath, const ScanList& scanList,
                         const std::filesystem::path& tempFolder);

}  // namespace engine
