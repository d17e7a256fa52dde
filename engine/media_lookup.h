// Finding a package's preview picture, and copying its images into a media folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace engine {

// True when the text after the last '.' of name is jpg, bmp, png, gif, emf or jpeg, in any case.
bool IsImageFileName(std::string_view name);

// The first image file met walking folder depth first in the file system's order; empty when
// there is none.
std::filesystem::path FindFirstImage(const std::filesystem::path& folder);

// What the preview box should show for a clicked row.
struct PreviewChoice {
  std::string path;  // the picture (UTF-8), empty for a hint
  int mode = 6;      // preview mode: 6 the picture, 4 no image, 5 not repaired
  int result = 1;    // 1 when a picture was chosen or nothing had to be done, 0 for a hint
  bool show = true;  // false: leave the preview as it is (negative row index)
};

// Looks up the preview of the row at index with the given text: the package's
// Thumbnails/thumbnail.png when present, else the first image of its file folder.
PreviewChoice LookupPreview(const std::filesystem::path& workingFolder, std::string_view rowText,
                            int index);

struct MediaCount {
  int found = 0;   // images met below the folder
  int copied = 0;  // of those, copied into the media folder
  bool operator==(const MediaCount&) const = default;
};

// Copies every image below folder, at any depth, into mediaFolder (same-named images replace
// each other). Failed copies are skipped and the walk goes on; copied < found tells of them.
MediaCount CopyMediaFiles(const std::filesystem::path& folder,
                          const std::filesystem::path& mediaFolder);

}  // namespace engine
