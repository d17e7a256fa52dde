// The working folder, the file folders inside it, and their deletion.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace engine {

// The user's private temporary folder followed by "DtmTmp"; empty when the private folder is
// refused (see platform/temp_folder.h), with the reason in *error when given.
std::filesystem::path GetWorkingFolder(std::string* error = nullptr);

// True when path is a folder itself, not a symbolic link to one.
bool IsRealFolder(const std::filesystem::path& path);

// The file folder of the row at index with the given text: working folder, then the text's
// file-name part followed by the index in decimal ("Report.dotm3"). A file name ending in a
// digit or in "_" gets "_" before the index ("x1" in row 1: "x1_1"), so that no two rows ever
// share a folder ("x" in row 11 stays "x11").
std::filesystem::path FileFolderFor(const std::filesystem::path& workingFolder,
                                    std::string_view rowText, int index);

// Deletes every file and folder below folder, never following symbolic links; the folder itself
// stays. Failures are ignored: what cannot be deleted stays, with the folders above it.
void DeleteFolderTree(const std::filesystem::path& folder);

// DeleteFolderTree, then removes the folder itself if it is empty now.
void RemoveFolderTree(const std::filesystem::path& folder);

// After the row at removedIndex left the list, the rows behind it moved up by one: renames
// each of their file folders from its old index to its new one, so that every row's folder is
// again its file name plus its index. rowTexts are the list's texts after the removal.
void RenumberFileFolders(const std::filesystem::path& workingFolder,
                         std::span<const std::string> rowTexts, int removedIndex);

}  // namespace engine
