// Placeholder until the media lookup lands.
#include "engine/media_lookup.h"
namespace engine {
bool IsImageFileName(std::string_view) { return false; }
std::filesystem::path FindFirstImage(const std::filesystem::path&) { return {}; }
PreviewChoice LookupPreview(const std::filesystem::path&, std::string_view, int) { return {}; }
int CopyMediaFiles(const std::filesystem::path&, const std::filesystem::path&) { return 0; }
}  // namespace engine
